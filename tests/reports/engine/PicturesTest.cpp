// Pictures through Qt's readers: decoded once, at their print size, within the budget; a template past the
// budget is refused when it loads, and a template set in code fails to print or export.
#include "agent/reports/engine/Pictures.h"
#include "agent/reports/engine/Report.h"
#include "agent/reports/model/TemplateFile.h"

#include <QBuffer>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <string>

using namespace verolux::reports;

namespace {

std::string encoded(int width, int height, const char* format) {
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(Qt::red);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    return bytes.toStdString();
}

// A PNG that tells its size but holds no pixels (reading its size stops at the first IDAT chunk).
std::string pngHeader(uint32_t width, uint32_t height) {
    auto be = [](uint32_t v) { return std::string{char(v >> 24), char(v >> 16), char(v >> 8), char(v)}; };
    auto chunk = [&](const std::string& typeAndData) {
        uint32_t crc = 0xFFFFFFFF; // the CRC-32 of PNG chunks
        for (unsigned char c : typeAndData) {
            crc ^= c;
            for (int k = 0; k < 8; ++k)
                crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1)));
        }
        return be(uint32_t(typeAndData.size() - 4)) + typeAndData + be(~crc);
    };
    return "\x89PNG\r\n\x1a\n" +
           chunk("IHDR" + be(width) + be(height) + std::string("\x08\x02\x00\x00\x00", 5)) + chunk("IDAT") +
           chunk("IEND");
}

Item picture(std::string bytes, double w, double h, bool keepAspect = true) {
    Item it;
    it.kind = ItemKind::Image;
    it.w = w, it.h = h, it.keepAspect = keepAspect;
    it.imageData = std::move(bytes);
    return it;
}

TEST(Pictures, DecodedOnceAtTheirPrintSizeWithinTheBudget) {
    const struct {
        const char* format;
        double w, h;
        bool keepAspect;
        int width, height;
    } rows[] = {
        {"PNG", 25.4, 25.4, true, 300, 200}, // 600 x 400 in a box of 300 x 300 pixels
        {"JPEG", 25.4, 25.4, true, 300, 200},
        {"PNG", 25.4, 25.4, false, 300, 300},
        {"PNG", 100, 100, true, 600, 400}, // never larger than it is
    };
    for (const auto& r : rows) {
        const Item item = picture(encoded(600, 400, r.format), r.w, r.h, r.keepAspect);
        EXPECT_EQ(PictureNaturalSize(item.imageData), (PixelSize{600, 400})) << r.format;
        PictureCache cache;
        const PictureCache::Picture& first = cache.picture(item, r.w, r.h);
        EXPECT_EQ(first.image.size(), QSize(r.width, r.height)) << r.format << " " << r.w;
        const QColor middle(first.image.pixel(r.width / 2, r.height / 2));
        EXPECT_TRUE(middle.red() > 240 && middle.green() < 16 && middle.blue() < 16)
            << r.format; // JPEG: nearly
        EXPECT_EQ(cache.picture(item, r.w, r.h).image.cacheKey(), first.image.cacheKey()) << "decoded again";
        EXPECT_EQ(cache.pixels(), r.width * r.height);
    }
    // A painter's budget: the picture that fills it exactly is decoded, the next one pixel more is not.
    const Item a = picture(encoded(600, 400, "PNG"), 25.4, 25.4), b = picture(encoded(1, 1, "PNG"), 1, 1);
    PictureCache cache(300 * 200);
    EXPECT_FALSE(cache.picture(a, 25.4, 25.4).image.isNull());
    EXPECT_TRUE(cache.picture(b, 1, 1).image.isNull());
    EXPECT_EQ(PictureNaturalSize("not a picture"), (PixelSize{}));
    EXPECT_TRUE(cache.picture(picture("not a picture", 1, 1), 1, 1).image.isNull());
}

// Two pictures of 8000 x 8000 pixels in boxes that print them so: each alone fits the budget, both do not.
// Only their headers are read.
TEST(Pictures, ATemplatePastTheBudgetIsRefusedWithThePicture) {
    Template t;
    t.reportHeader.present = true;
    t.reportHeader.height = 5;
    t.reportHeader.items.push_back(picture(pngHeader(8000, 8000), 677.33, 677.33));
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("pictures.grf"));
    auto save = [&] {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        const std::string json = WriteTemplate(t);
        f.write(json.data(), qint64(json.size()));
    };
    save();
    Report r;
    EXPECT_TRUE(r.LoadTemplate(path)) << r.lastError().toStdString();
    t.reportHeader.items.push_back(t.reportHeader.items.front());
    save();
    EXPECT_FALSE(r.LoadTemplate(path));
    EXPECT_EQ(
        r.lastError().toStdString(),
        "pictures.grf: bands.reportHeader.items[1].data: a picture of 8000 x 8000 pixels, printed at 8000 x "
        "8000, takes the template's pictures past 64000000 pixels");
    EXPECT_TRUE(r.reportTemplate().reportHeader.items.empty()) << "an empty template after a failed load";

    r.setTemplate(t); // as a designer does: no file, so printing and export say why
    EXPECT_FALSE(r.ExportToFile(Report::kExportPdf, dir.filePath(QStringLiteral("p.pdf")), 0, 0));
    EXPECT_EQ(r.lastError().toStdString().substr(0, 34), "bands.reportHeader.items[1].data: ");
    EXPECT_FALSE(QFile::exists(dir.filePath(QStringLiteral("p.pdf"))));
}

} // namespace
