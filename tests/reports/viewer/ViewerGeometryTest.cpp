#include "agent/reports/viewer/ViewerGeometry.h"

#include <gtest/gtest.h>

#include <sstream>

using namespace verolux::reports;

namespace {

const PageSizeMm kA4{210, 297};
const PageSizeMm kA4Landscape{297, 210};
constexpr double kDpi = 96;

std::string Dump(const std::vector<PageRect>& rects) {
    std::ostringstream out;
    for (size_t i = 0; i < rects.size(); ++i) {
        const auto& r = rects[i];
        if (r.w == 0)
            out << "page " << i + 1 << ": hidden\n";
        else
            out << "page " << i + 1 << ": " << r.x << "," << r.y << " " << r.w << "x" << r.h << "\n";
    }
    return out.str();
}

} // namespace

struct ZoomStepCase {
    const char* name;
    double from;
    double in, out;
};

class ZoomSteps : public testing::TestWithParam<ZoomStepCase> {};

TEST_P(ZoomSteps, MoveToTheNeighbouringStep) {
    const auto& c = GetParam();
    EXPECT_DOUBLE_EQ(ViewerGeometry::ZoomIn(c.from), c.in);
    EXPECT_DOUBLE_EQ(ViewerGeometry::ZoomOut(c.from), c.out);
}

INSTANTIATE_TEST_SUITE_P(
    Viewer, ZoomSteps,
    testing::Values(
        ZoomStepCase{"OnAStep", 1.0, 1.25, 0.75},
        // A fitted zoom between steps goes to the next step in either direction, never back to itself.
        ZoomStepCase{"BetweenSteps", 0.83, 1.0, 0.75}, ZoomStepCase{"JustBelowAStep", 0.9999999, 1.25, 0.75},
        ZoomStepCase{"Smallest", 0.1, 0.25, 0.1}, ZoomStepCase{"Largest", 8.0, 8.0, 6.0}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(ViewerZoom, ClampKeepsZoomUsable) {
    EXPECT_DOUBLE_EQ(ViewerGeometry::Clamp(0.01), 0.1);
    EXPECT_DOUBLE_EQ(ViewerGeometry::Clamp(50), 8.0);
    EXPECT_DOUBLE_EQ(ViewerGeometry::Clamp(0), 1.0);
    EXPECT_DOUBLE_EQ(ViewerGeometry::Clamp(-2), 1.0);
    EXPECT_DOUBLE_EQ(ViewerGeometry::Clamp(std::numeric_limits<double>::quiet_NaN()), 1.0);
}

// What the zoom box accepts when the user types into it.
TEST(ViewerZoom, TypedPercentages) {
    const struct {
        const char* text;
        double zoom; // 0: refused
    } rows[] = {
        {"135", 1.35}, {"135%", 1.35}, {" 62.5 % ", 0.625}, {"100", 1.0},
        {"5", 0.1},    {"5000%", 8.0}, // clamped to the zoom range
        {"", 0},       {"%", 0},       {"abc", 0},          {"-50", 0},
        {"0", 0},      {"1e3", 0},     {"12 3", 0},         {"135%%", 0},
    };
    for (const auto& r : rows) {
        const auto got = ViewerGeometry::ParseZoomPercent(r.text);
        if (r.zoom == 0)
            EXPECT_FALSE(got) << "\"" << r.text << "\"";
        else
            EXPECT_DOUBLE_EQ(got.value_or(-1), r.zoom) << "\"" << r.text << "\"";
    }
}

TEST(ViewerZoom, FitWidthFillsTheViewportLessTheMargins) {
    // A4 is 210 mm = 793.7 px at 96 dpi; a viewport of 793.7 + 2 gaps is exactly real size.
    const double z = ViewerGeometry::FitWidth({kA4}, 794 + 2 * ViewerGeometry::kGap, kDpi);
    EXPECT_NEAR(z, 1.0, 0.001);
    // Mixed orientations: the widest page decides.
    const double mixed = ViewerGeometry::FitWidth({kA4, kA4Landscape}, 1000, kDpi);
    EXPECT_NEAR(mixed * 297 * kDpi / 25.4, 1000 - 2 * ViewerGeometry::kGap, 1.0);
}

TEST(ViewerZoom, FitPageFitsTheTallerSide) {
    // Viewport wide but short: height limits. 297 mm at zoom z must equal 600 - 2 gaps.
    const double z = ViewerGeometry::FitPage({kA4}, 1600, 600, kDpi);
    EXPECT_NEAR(z * 297 * kDpi / 25.4, 600 - 2 * ViewerGeometry::kGap, 1.0);
    // Narrow and tall: width limits.
    const double w = ViewerGeometry::FitPage({kA4}, 400, 2000, kDpi);
    EXPECT_NEAR(w * 210 * kDpi / 25.4, 400 - 2 * ViewerGeometry::kGap, 1.0);
}

TEST(ViewerZoom, DegenerateInputsStayFinite) {
    EXPECT_DOUBLE_EQ(ViewerGeometry::FitWidth({}, 800, kDpi), 1.0);
    EXPECT_DOUBLE_EQ(ViewerGeometry::FitWidth({kA4}, 10, kDpi), ViewerGeometry::kMinZoom);
    EXPECT_DOUBLE_EQ(ViewerGeometry::FitPage({kA4}, 0, 0, kDpi), ViewerGeometry::kMinZoom);
    EXPECT_DOUBLE_EQ(ViewerGeometry::FitPage({{0, 0}}, 800, 600, kDpi), 1.0);
}

TEST(ViewerLayout, ContinuousStacksCentredPages) {
    // 25.4 mm = 96 px at 96 dpi and zoom 1: a 127 x 254 mm page is 480 x 960 px.
    const std::vector<PageSizeMm> pages{{127, 254}, {127, 254}, {254, 127}};
    const auto rects = ViewerGeometry::Layout(pages, 1.0, kDpi, 1000, ViewMode::Continuous, 0);
    EXPECT_EQ(Dump(rects), "page 1: 260,16 480x960\n"
                           "page 2: 260,992 480x960\n"
                           "page 3: 20,1968 960x480\n");
    int w = 0, h = 0;
    ViewerGeometry::ContentSize(rects, 1000, w, h);
    EXPECT_EQ(w, 1000);
    EXPECT_EQ(h, 1968 + 480 + ViewerGeometry::kGap);
}

TEST(ViewerLayout, PagesWiderThanTheViewportStartAtTheGap) {
    const auto rects = ViewerGeometry::Layout({{127, 254}}, 2.0, kDpi, 500, ViewMode::Continuous, 0);
    EXPECT_EQ(Dump(rects), "page 1: 16,16 960x1920\n");
    int w = 0, h = 0;
    ViewerGeometry::ContentSize(rects, 500, w, h);
    EXPECT_EQ(w, 960 + 2 * ViewerGeometry::kGap);
}

TEST(ViewerLayout, SinglePagePlacesOnlyTheCurrentPage) {
    const std::vector<PageSizeMm> pages(3, PageSizeMm{127, 254});
    const auto rects = ViewerGeometry::Layout(pages, 0.5, kDpi, 600, ViewMode::SinglePage, 1);
    EXPECT_EQ(Dump(rects), "page 1: hidden\npage 2: 180,16 240x480\npage 3: hidden\n");
    EXPECT_EQ(ViewerGeometry::PageAt(rects, 0, 500), 1);
}

TEST(ViewerLayout, CurrentPageIsTheOneUnderTheUpperThird) {
    const std::vector<PageSizeMm> pages(4, PageSizeMm{127, 254}); // 960 px tall, pitch 976
    const auto rects = ViewerGeometry::Layout(pages, 1.0, kDpi, 800, ViewMode::Continuous, 0);
    EXPECT_EQ(ViewerGeometry::PageAt(rects, 0, 600), 0);
    EXPECT_EQ(ViewerGeometry::PageAt(rects, 780, 600), 0);    // probe at 980: still page 1 plus its gap
    EXPECT_EQ(ViewerGeometry::PageAt(rects, 800, 600), 1);    // probe at 1000: page 2
    EXPECT_EQ(ViewerGeometry::PageAt(rects, 100000, 600), 3); // beyond the end: the last page
}
