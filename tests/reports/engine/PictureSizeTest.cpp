// Pictures are decoded at the size they print at (their box at 300 dpi, never larger than they are), and
// a template's pictures together stay within the pixel budget.
#include "agent/reports/layout/PictureSize.h"
#include "agent/reports/model/TemplateFile.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

using namespace verolux::reports;

namespace {

TEST(PictureSize, DecodedAtTheBoxAt300DpiNeverLarger) {
    const struct {
        PixelSize natural;
        double w, h; // mm
        bool keepAspect;
        PixelSize decoded;
    } rows[] = {
        {{6000, 5000}, 60, 50, true, {709, 591}},      // 60 mm = 708.7 px, rounded up
        {{6000, 5000}, 25.4, 25.4, true, {300, 250}},  // exactly 300 px: not 301; width decides
        {{6000, 5000}, 25.4, 10, true, {143, 119}},    // 10 mm = 118.1 → 119 px high; height decides
        {{6000, 5000}, 25.4, 25.4, false, {300, 300}}, // stretched to the box: each side on its own
        {{6000, 100}, 25.4, 25.4, false, {300, 100}},  // ... and never larger than the picture
        {{40, 20}, 30, 30, true, {40, 20}},            // a small picture stays as it is
        {{100000, 1}, 10, 10, true, {119, 1}},         // at least a pixel each way
        {{600, 400}, 0, 0, true, {1, 1}},              // an empty box
        {{0, 0}, 60, 50, true, {0, 0}},                // cannot be read: nothing decoded
        {{8000, 8000}, 8000 / 300.0 * 25.4, 5000, true, {8000, 8000}},
    };
    for (const auto& r : rows)
        EXPECT_EQ(PictureDecodeSize(r.natural, r.w, r.h, r.keepAspect), r.decoded)
            << r.natural.width << "x" << r.natural.height << " in " << r.w << "x" << r.h;
}

// Two pictures in boxes of 8000 pixels (677.33 mm) across: exactly at the budget the template loads, a pixel
// more and it is refused at the picture that goes past, named by its place in the file.
TEST(PictureSize, BudgetCountsDecodedPixelsUpToItsLimit) {
    const std::string json = R"({"format": "verolux-report", "version": 1,
      "page": {"paper": "Custom", "width": 5000, "height": 5000},
      "bands": {"reportHeader": {"height": 5, "items": [
        {"type": "text", "x": 0, "y": 0, "w": 10, "h": 5, "text": "a"},
        {"type": "image", "x": 0, "y": 0, "w": 677.33, "h": 677.33, "data": "QQ=="}]}},
      "groups": [{"by": "n", "footer": {"height": 5, "items": [
        {"type": "image", "x": 0, "y": 0, "w": 677.33, "h": 1, "keepAspect": false, "data": "Qg=="}]}}]})";
    const auto loaded = ParseTemplate(json);
    ASSERT_TRUE(loaded) << loaded.error;
    const std::vector<TemplatePicture> pictures = TemplatePictures(*loaded.tmpl);
    ASSERT_EQ(pictures.size(), 2u);
    EXPECT_EQ(pictures[0].path, "bands.reportHeader.items[1]");
    EXPECT_EQ(pictures[1].path, "groups[0].footer.items[0]");
    ASSERT_EQ(kMaxReportPicturePixels, 8000 * 8000);

    const struct {
        PixelSize first, second;
        std::string error;
    } rows[] = {
        {{8000, 8000}, {0, 0}, ""},    // the second cannot be read: it takes nothing
        {{8000, 7999}, {8000, 1}, ""}, // a box 12 pixels high, but the picture has one row
        {{8000, 7999},
         {8000, 2},
         "groups[0].footer.items[0].data: a picture of 8000 x 2 pixels, printed at "
         "8000 x 2, takes the template's pictures past 64000000 pixels"},
        {{8001, 8001}, {0, 0}, ""}, // counted as printed: 8000 x 8000
        {{8000, 8000},
         {1, 1},
         "groups[0].footer.items[0].data: a picture of 1 x 1 pixels, printed at 1 x 1, takes "
         "the template's pictures past 64000000 pixels"},
    };
    for (const auto& r : rows) {
        const std::map<std::string, PixelSize> sizes{{"A", r.first}, {"B", r.second}};
        const std::string error =
            CheckPictureBudget(*loaded.tmpl, [&](const Item& item) { return sizes.at(item.imageData); });
        EXPECT_EQ(error, r.error) << r.first.width << "x" << r.first.height;
    }
    // The same boundary with a budget of its own: exactly at it, and one pixel past.
    auto natural = [](const Item& item) {
        return item.imageData == "A" ? PixelSize{10, 10} : PixelSize{1, 1};
    };
    EXPECT_EQ(CheckPictureBudget(*loaded.tmpl, natural, 101), "");
    EXPECT_NE(CheckPictureBudget(*loaded.tmpl, natural, 100), "");
}

} // namespace
