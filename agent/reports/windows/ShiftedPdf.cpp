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

// The page's pixels over white, as a PDF image's samples: one byte a pixel when the page is grey,
// else three.
std::string Samples(const QImage& page, bool* gray) {
    const int w = page.width(), h = page.height();
    *gray = true;
    for (int y = 0; y < h && *gray; ++y) {
        const QRgb* row = reinterpret_cast<const QRgb*>(page.constScanLine(y));
        for (int x = 0; x < w; ++x)
            if (qRed(row[x]) != qGreen(row[x]) || qGreen(row[x]) != qBlue(row[x])) {
                *gray = false;
                break;
            }
    }
    std::string out(std::size_t(w) * h * (*gray ? 1 : 3), '\0');
    char* at = out.data();
    for (int y = 0; y < h; ++y) {
        const QRgb* row = reinterpret_cast<const QRgb*>(page.constScanLine(y));
        for (int x = 0; x < w; ++x) {
            // Premultiplied: what shows through is white.
            const int white = 255 - qAlpha(row[x]);
            if (*gray) {
                *at++ = char(qRed(row[x]) + white);
            } else {
                *at++ = char(qRed(row[x]) + white);
                *at++ = char(qGreen(row[x]) + white);
                *at++ = char(qBlue(row[x]) + white);
            }
        }
    }
    return out;
}

} // namespace

bool WriteShiftedPdf(const std::string& pdf, const PdfShift& shift, QIODevice& out, std::string* error) {
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
    options.setRenderFlags(QPdfDocumentRenderOptions::RenderFlag::Annotations);
    reports::PdfFile file(out);
    const int catalog = file.reserve(), pages = file.reserve(), info = file.reserve();
    std::vector<int> kids;
    for (int i = 0; i < document.pageCount(); ++i) {
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
        bool gray = false;
        std::string samples;
        {
            QImage picture = document.render(i, size, options);
            if (picture.isNull()) {
                *error = "page " + std::to_string(i + 1) + " of the PDF cannot be drawn";
                return false;
            }
            if (picture.format() != QImage::Format_ARGB32_Premultiplied)
                picture.convertTo(QImage::Format_ARGB32_Premultiplied);
            samples = Samples(picture, &gray);
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
        file.writeStream(image,
                         "/Type /XObject /Subtype /Image /Width " + std::to_string(size.width()) +
                             " /Height " + std::to_string(size.height()) +
                             " /BitsPerComponent 8 /ColorSpace " + (gray ? "/DeviceGray" : "/DeviceRGB"),
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

bool WriteShiftedPdf(const std::string&, const PdfShift&, QIODevice&, std::string* error) {
    *error = "this agent was built without Qt PDF and cannot redraw PDFs";
    return false;
}

#endif

} // namespace verolux
