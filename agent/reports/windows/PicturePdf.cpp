#include "agent/reports/windows/PicturePdf.h"

#include "agent/reports/engine/PdfFile.h"

#include <QFile>
#include <QImage>

namespace verolux {
namespace {

constexpr double kDefaultDpi = 96;

// The number of colour components a JPEG's frame header names (1 grey, 3 colour, 4 CMYK); 0 when none is
// found.
int JpegComponents(std::string_view jpeg) {
    std::size_t i = 2;
    while (i + 9 < jpeg.size() && static_cast<unsigned char>(jpeg[i]) == 0xFF) {
        const auto marker = static_cast<unsigned char>(jpeg[i + 1]);
        const std::size_t length = std::size_t(static_cast<unsigned char>(jpeg[i + 2])) << 8 |
                                   static_cast<unsigned char>(jpeg[i + 3]);
        if (marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC)
            return static_cast<unsigned char>(jpeg[i + 9]);
        i += 2 + length;
    }
    return 0;
}

double PointsPerPixel(int dotsPerMeter, double unnamedDpi) {
    const double dpi = dotsPerMeter > 0 ? dotsPerMeter * 0.0254 : unnamedDpi;
    return 72.0 / dpi;
}

// Whether the picture says its resolution: a PNG's pHYs chunk before its pixels, a JFIF header with
// units. Decoders report a default for the others.
bool NamesResolution(std::string_view picture) {
    if (picture.starts_with("\x89PNG")) {
        const std::size_t pixels = picture.find("IDAT");
        return picture.substr(0, pixels).find("pHYs") != std::string_view::npos;
    }
    return picture.size() > 13 && picture.substr(6, 5) == std::string_view("JFIF\0", 5) && picture[13] != 0;
}

} // namespace

bool WritePicturePdf(std::string_view picture, QIODevice& out,
                     const std::function<QPointF(QSizeF pagePoints)>& shiftMm, double unnamedDpi) {
    QImage image;
    if (!image.loadFromData(reinterpret_cast<const uchar*>(picture.data()), qsizetype(picture.size())) ||
        image.isNull())
        return false;
    // A grey or colour JPEG goes in as it is; any other (CMYK) is stored as its pixels.
    const int components = picture.starts_with("\xFF\xD8\xFF") ? JpegComponents(picture) : 0;
    const bool jpeg = components == 1 || components == 3;
    const bool gray = jpeg ? components == 1 : image.allGray();
    const int w = image.width(), h = image.height();
    std::string pixels;
    if (!jpeg) {
        // Transparent parts over white, as the picture shows on paper.
        QImage flat(image.size(), QImage::Format_RGB888);
        flat.fill(Qt::white);
        {
            QImage source = image.convertToFormat(QImage::Format_ARGB32);
            for (int y = 0; y < h; ++y) {
                const QRgb* in = reinterpret_cast<const QRgb*>(source.constScanLine(y));
                uchar* row = flat.scanLine(y);
                for (int x = 0; x < w; ++x) {
                    const int a = qAlpha(in[x]);
                    row[3 * x] = uchar((qRed(in[x]) * a + 255 * (255 - a)) / 255);
                    row[3 * x + 1] = uchar((qGreen(in[x]) * a + 255 * (255 - a)) / 255);
                    row[3 * x + 2] = uchar((qBlue(in[x]) * a + 255 * (255 - a)) / 255);
                }
            }
        }
        pixels.reserve(std::size_t(w) * h * (gray ? 1 : 3));
        for (int y = 0; y < h; ++y) {
            const uchar* row = flat.constScanLine(y);
            for (int x = 0; x < w; ++x)
                if (gray)
                    pixels += char(row[3 * x]);
                else
                    pixels.append(reinterpret_cast<const char*>(row + 3 * x), 3);
        }
    }
    // 0: whatever the decoder says.
    const bool named = unnamedDpi <= 0 || NamesResolution(picture);
    const double fallback = unnamedDpi > 0 ? unnamedDpi : kDefaultDpi;
    const double pw = w * PointsPerPixel(named ? image.dotsPerMeterX() : 0, fallback),
                 ph = h * PointsPerPixel(named ? image.dotsPerMeterY() : 0, fallback);

    const QPointF moved = shiftMm ? shiftMm(QSizeF(pw, ph)) : QPointF();
    {
        reports::PdfFile file(out);
        const int catalog = file.reserve(), pages = file.reserve(), page = file.reserve(),
                  content = file.reserve(), xobject = file.reserve(), info = file.reserve();
        std::string size;
        reports::AppendPdfNumber(size, pw);
        size += ' ';
        reports::AppendPdfNumber(size, ph);
        file.beginObject(catalog);
        file.write("<</Type /Catalog /Pages " + std::to_string(pages) + " 0 R>>");
        file.endObject();
        file.beginObject(pages);
        file.write("<</Type /Pages /Kids [" + std::to_string(page) + " 0 R] /Count 1>>");
        file.endObject();
        file.beginObject(page);
        file.write("<</Type /Page /Parent " + std::to_string(pages) + " 0 R /MediaBox [0 0 " + size +
                   "] /Resources <</XObject <</Im0 " + std::to_string(xobject) + " 0 R>>>> /Contents " +
                   std::to_string(content) + " 0 R>>");
        file.endObject();
        std::string draw = "q ";
        reports::AppendPdfNumber(draw, pw);
        draw += " 0 0 ";
        reports::AppendPdfNumber(draw, ph);
        // PDF's y runs up.
        draw += ' ';
        reports::AppendPdfNumber(draw, moved.x() * 72 / 25.4);
        draw += ' ';
        reports::AppendPdfNumber(draw, -moved.y() * 72 / 25.4);
        file.writeStream(content, "", draw + " cm /Im0 Do Q", 1);
        std::string dict = "/Type /XObject /Subtype /Image /Width " + std::to_string(w) + " /Height " +
                           std::to_string(h) + " /BitsPerComponent 8 /ColorSpace " +
                           (gray ? "/DeviceGray" : "/DeviceRGB");
        if (jpeg) {
            // Written as it came: /DCTDecode is its filter, the stream is not compressed again.
            file.beginObject(xobject);
            file.write("<<" + dict + " /Filter /DCTDecode /Length " + std::to_string(picture.size()) +
                       ">>\nstream\n");
            file.write(picture);
            file.write("\nendstream");
            file.endObject();
        } else {
            file.writeStream(xobject, dict, pixels, 6);
        }
        file.beginObject(info);
        file.write("<</Producer (Verolux)>>");
        file.endObject();
        file.finish(catalog, info);
        return file.ok();
    }
}

bool WritePicturePdf(std::string_view picture, const std::filesystem::path& pdf) {
    QFile out(QString::fromStdString(pdf.string()));
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate)) return false;
    return WritePicturePdf(picture, out, {}, 0) && out.flush();
}

} // namespace verolux
