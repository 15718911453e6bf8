#include "agent/reports/windows/ShiftedPdf.h"

#include "agent/reports/engine/PdfFile.h"

#include <QBuffer>
#include <QIODevice>
#include <QImage>

#include <algorithm>
#include <cmath>
#include <vector>

#ifdef VEROLUX_HAVE_QT_PDF
#include <QPdfDocument>
#endif

namespace verolux {

bool ShiftedPdfSupported() {
#ifdef VEROLUX_HAVE_QT_PDF
    return true;
#else
    return false;
#endif
}

#ifdef VEROLUX_HAVE_QT_PDF
namespace {

constexpr int kMaxDpi = 600;
// A page's picture holds at most this many pixels (A4 at 600 dpi: 35 million); larger pages are
// drawn coarser.
constexpr double kMaxPagePixels = 36e6;
constexpr double kPointsPerMm = 72 / 25.4;

std::string Number(double v) {
    std::string s;
    reports::AppendPdfNumber(s, v);
    return s;
}

enum class Colours { BlackWhite, Gray, Rgb };

// What the page's pixels need: black and white only (plain text and lines), grey, or colour.
Colours ColoursOf(const QImage& page) {
    const int w = page.width(), h = page.height();
    Colours found = Colours::BlackWhite;
    for (int y = 0; y < h; ++y) {
        const QRgb* row = reinterpret_cast<const QRgb*>(page.constScanLine(y));
        for (int x = 0; x < w; ++x) {
            const QRgb p = row[x];
            // Most of a page: nothing drawn (transparent), or opaque black or white.
            if (p == 0 || p == 0xFF000000u || p == 0xFFFFFFFFu) continue;
            if (qRed(p) != qGreen(p) || qGreen(p) != qBlue(p)) return Colours::Rgb;
            // Premultiplied: over white it shows as red + 255 - alpha.
            const int shown = qRed(p) + 255 - qAlpha(p);
            if (shown != 0 && shown != 255) found = Colours::Gray;
        }
    }
    return found;
}

// The page's pixels over white, as a PDF image's samples: a bit a pixel (rows to whole bytes, 1
// white) for black and white, a byte for grey, three for colour.
std::string Samples(const QImage& page, Colours colours) {
    const int w = page.width(), h = page.height();
    const std::size_t rowBytes = colours == Colours::BlackWhite ? (std::size_t(w) + 7) / 8
                                 : colours == Colours::Gray     ? std::size_t(w)
                                                                : std::size_t(w) * 3;
    std::string out(rowBytes * h, '\0');
    for (int y = 0; y < h; ++y) {
        const QRgb* row = reinterpret_cast<const QRgb*>(page.constScanLine(y));
        auto* at = reinterpret_cast<unsigned char*>(out.data() + rowBytes * y);
        // Premultiplied: what shows through is white.
        const auto shown = [row](int x, int channel) {
            return static_cast<unsigned char>(((row[x] >> channel) & 0xFF) + 255 - qAlpha(row[x]));
        };
        if (colours == Colours::BlackWhite) {
            // Black only where a pixel is opaque black.
            for (int x = 0; x < w; x += 8) {
                unsigned bits = 0;
                for (int i = 0; i < 8; ++i)
                    bits = bits << 1 | unsigned(x + i >= w || row[x + i] != 0xFF000000u);
                at[x / 8] = static_cast<unsigned char>(bits);
            }
        } else if (colours == Colours::Gray) {
            for (int x = 0; x < w; ++x)
                at[x] = shown(x, 16);
        } else {
            for (int x = 0; x < w; ++x) {
                at[3 * x] = shown(x, 16);
                at[3 * x + 1] = shown(x, 8);
                at[3 * x + 2] = shown(x, 0);
            }
        }
    }
    return out;
}

} // namespace

bool WriteShiftedPdf(std::string_view pdf, const PdfShift& shift, QIODevice& out, std::string* error) {
    QByteArray bytes = QByteArray::fromRawData(pdf.data(), qsizetype(pdf.size()));
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    QPdfDocument document;
    document.load(&buffer);
    if (document.status() != QPdfDocument::Status::Ready || document.pageCount() < 1) {
        *error = "the PDF cannot be read";
        return false;
    }
    const int dpi = std::clamp(shift.dpi, 72, kMaxDpi);
    QPdfDocumentRenderOptions options;
    // At the printer's resolution edges need no smoothing: the printer draws them sharp anyway, and
    // pages of plain black text compress several times better.
    options.setRenderFlags(QPdfDocumentRenderOptions::RenderFlag::Annotations |
                           QPdfDocumentRenderOptions::RenderFlag::TextAliased |
                           QPdfDocumentRenderOptions::RenderFlag::PathAliased);
    reports::PdfFile file(out);
    const int catalog = file.reserve(), pages = file.reserve(), info = file.reserve();
    std::vector<int> kids;
    for (int i = 0; i < document.pageCount(); ++i) {
        if (shift.abort && *shift.abort) {
            *error = "cancelled";
            return false;
        }
        const QSizeF points = document.pagePointSize(i);
        const std::string box =
            "/MediaBox [0 0 " + Number(points.width()) + " " + Number(points.height()) + "]";
        const int page = file.reserve();
        kids.push_back(page);
        if (shift.drawn && !shift.drawn(i)) {
            file.beginObject(page);
            file.write("<</Type /Page /Parent " + std::to_string(pages) + " 0 R " + box +
                       " /Resources <<>>>>");
            file.endObject();
            continue;
        }
        double scale = dpi / 72.0;
        const double pixels = points.width() * points.height() * scale * scale;
        if (pixels > kMaxPagePixels) scale *= std::sqrt(kMaxPagePixels / pixels);
        const QSize size(std::max(1, int(std::lround(points.width() * scale))),
                         std::max(1, int(std::lround(points.height() * scale))));
        Colours colours = Colours::Rgb;
        std::string samples;
        {
            QImage picture = document.render(i, size, options);
            if (picture.isNull()) {
                *error = "page " + std::to_string(i + 1) + " of the PDF cannot be drawn";
                return false;
            }
            if (picture.format() != QImage::Format_ARGB32_Premultiplied)
                picture.convertTo(QImage::Format_ARGB32_Premultiplied);
            colours = ColoursOf(picture);
            samples = Samples(picture, colours);
        }
        const QPointF moved = shift.shiftMm ? shift.shiftMm(points) : QPointF();
        const int content = file.reserve(), image = file.reserve();
        file.beginObject(page);
        file.write("<</Type /Page /Parent " + std::to_string(pages) + " 0 R " + box +
                   " /Resources <</XObject <</Im0 " + std::to_string(image) + " 0 R>>>> /Contents " +
                   std::to_string(content) + " 0 R>>");
        file.endObject();
        // The picture fills the page, moved; PDF's y runs up.
        file.writeStream(content, "",
                         "q " + Number(points.width()) + " 0 0 " + Number(points.height()) + " " +
                             Number(moved.x() * kPointsPerMm) + " " + Number(-moved.y() * kPointsPerMm) +
                             " cm /Im0 Do Q",
                         1);
        file.writeStream(
            image,
            "/Type /XObject /Subtype /Image /Width " + std::to_string(size.width()) + " /Height " +
                std::to_string(size.height()) +
                (colours == Colours::BlackWhite ? " /BitsPerComponent 1" : " /BitsPerComponent 8") +
                (colours == Colours::Rgb ? " /ColorSpace /DeviceRGB" : " /ColorSpace /DeviceGray"),
            samples, 1);
        if (!file.ok()) break;
    }
    file.beginObject(catalog);
    file.write("<</Type /Catalog /Pages " + std::to_string(pages) + " 0 R>>");
    file.endObject();
    std::string list;
    for (const int kid : kids)
        list += std::to_string(kid) + " 0 R ";
    file.beginObject(pages);
    file.write("<</Type /Pages /Kids [" + list + "] /Count " + std::to_string(kids.size()) + ">>");
    file.endObject();
    file.beginObject(info);
    file.write("<</Producer (Verolux)>>");
    file.endObject();
    file.finish(catalog, info);
    if (!file.ok()) {
        *error = out.errorString().isEmpty() ? "cannot write the PDF" : out.errorString().toStdString();
        return false;
    }
    return true;
}

#else

bool WriteShiftedPdf(std::string_view, const PdfShift&, QIODevice&, std::string* error) {
    *error = "this agent was built without Qt PDF and cannot redraw PDFs";
    return false;
}

#endif

} // namespace verolux
