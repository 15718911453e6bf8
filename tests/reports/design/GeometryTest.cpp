#include "agent/reports/design/Arrange.h"
#include "agent/reports/design/DesignLayout.h"
#include "agent/reports/design/Snap.h"
#include "tests/reports/design/DesignTestSupport.h"

using namespace verolux::reports;
using namespace verolux::reports::design;

TEST(DesignLayout, BandsStackFromTheTopMarginAndThePageFooterSitsAtTheBottomOrAfterATallDesign) {
    const DesignLayout l = LayOutDesign(designtest::LoadSample("orders.grf"));
    std::string stack;
    for (const PlacedBand& b : l.bands)
        stack += BandPath(b.ref) + "@" + std::to_string(int(b.top)) + " ";
    // Margins 10: page header 16, column header 7, group header 8, detail 6, group footer 7, report
    // footer 16; the page footer (8) ends at 297 - 10.
    EXPECT_EQ(stack, "pageHeader@10 columnHeader@26 groups[0].header@33 detail@41 groups[0].footer@47 "
                     "reportFooter@54 pageFooter@279 ");
    EXPECT_EQ(l.sheetHeight, 297);
    // A design taller than the paper makes the sheet longer: the page footer right after the report footer.
    Template t = designtest::LoadSample("orders.grf");
    t.reportFooter.height = 300;
    const DesignLayout tall = LayOutDesign(t);
    EXPECT_EQ(tall.find({BandSlot::PageFooter})->top, 354);
    EXPECT_EQ(tall.sheetHeight, 372);
}

TEST(DesignLayout, HitsFindTheTopmostItemLinesNearbyAndBandEdges) {
    const Template t = designtest::LoadSample("orders.grf");
    const DesignLayout l = LayOutDesign(t);
    // Detail band at 41, left margin 10: {product} spans x 86..130 of the band.
    EXPECT_EQ(ItemAt(t, l, 10 + 100, 43, 0.5), (ItemRef{{BandSlot::Detail}, 3}));
    // The page footer's rule: a line at y 1 of the band, hit from 0.4 mm away.
    EXPECT_EQ(ItemAt(t, l, 50, 279 + 1.4, 0.5), (ItemRef{{BandSlot::PageFooter}, 0}));
    EXPECT_EQ(ItemAt(t, l, 5, 43, 0.5), std::nullopt) << "in the margin";
    EXPECT_EQ(BandEdgeAt(l, 47.3, 0.5), (BandRef{BandSlot::Detail}));
    EXPECT_EQ(BandEdgeAt(l, 45, 0.5), std::nullopt);
    // The rubber band takes what lies wholly inside it: the first two detail cells.
    EXPECT_EQ(ItemsIn(t, l, RectMm{9, 40, 48, 8}, false).size(), 2u);
}

struct SnapRow {
    const char* name;
    std::vector<double> candidates, edges;
    double shift;
    std::optional<double> guide;
};

// Tolerance 1 mm, grid 1 mm.
const SnapRow kSnaps[] = {
    {"to the grid", {10.3, 22.3, 34.3}, {}, -0.3, std::nullopt},
    {"an edge within the tolerance wins over the grid", {10.3, 22.3, 34.3}, {35}, 0.7, 35},
    {"the nearest pair wins", {10.3, 34.3}, {11, 34.5}, 0.2, 34.5},
    {"an edge just out of reach leaves it to the grid", {10.3}, {11.31}, -0.3, std::nullopt},
    // Exactly the tolerance away still catches (0.5 and 1.5 are exact in binary).
    {"an edge exactly at the tolerance catches", {10.5}, {11.5}, 1, 11.5},
};

class SnapAxisRow : public testing::TestWithParam<SnapRow> {};

TEST_P(SnapAxisRow, Shifts) {
    const SnapRow& r = GetParam();
    const SnapShift s = SnapAxis(r.candidates, r.edges, SnapSettings{});
    EXPECT_NEAR(s.shift, r.shift, 1e-9);
    EXPECT_EQ(s.guide, r.guide);
}

INSTANTIATE_TEST_SUITE_P(Snap, SnapAxisRow, testing::ValuesIn(kSnaps), designtest::RowName<SnapRow>);

TEST(Snap, HandlesResizeAndFlipBoxesButLetLinesRun) {
    const RectMm box{10, 10, 20, 10};
    EXPECT_EQ(DragHandle(box, Handle::BottomRight, 35, 25), (RectMm{10, 10, 25, 15}));
    EXPECT_EQ(DragHandle(box, Handle::Left, 40, 99), (RectMm{30, 10, 10, 10}))
        << "dragged past the right edge";
    EXPECT_EQ(DragHandle(box, Handle::Top, 99, 12), (RectMm{10, 12, 20, 8}));
    const RectMm line{10, 10, 20, 0};
    EXPECT_EQ(DragHandle(line, Handle::LineStart, 40, 5), (RectMm{40, 5, -10, 5}));
    EXPECT_EQ(DragHandle(line, Handle::LineEnd, 10, 30), (RectMm{10, 10, 0, 20}));
}

TEST(DesignLayout, APointInABandIsInThatBandNotTheNext) {
    const Template t = designtest::LoadSample("orders.grf");
    const DesignLayout layout = LayOutDesign(t);
    const PlacedBand* detail = layout.find(BandRef{BandSlot::Detail});
    ASSERT_TRUE(detail);
    EXPECT_EQ(layout.bandAt(detail->top + 1), BandRef{BandSlot::Detail});
    EXPECT_EQ(layout.bandAt(detail->bottom() + 0.5), (BandRef{BandSlot::GroupFooter, 0}));
    EXPECT_EQ(layout.bandAt(layout.top - 1), std::nullopt) << "above the first band";
}

TEST(DesignArrange, CentresLineUpOnTheMiddleOfTheSelection) {
    DesignDocument doc(designtest::LoadSample("orders.grf"));
    const ItemRef a{BandRef{BandSlot::Detail}, 0}, b{BandRef{BandSlot::Detail}, 6}; // 0..24 and 164..190
    ASSERT_TRUE(AlignItems(doc, {a, b}, Alignment::HorizontalCentres));
    EXPECT_DOUBLE_EQ(FindItem(doc.tmpl(), a)->x, 95 - 12);
    EXPECT_DOUBLE_EQ(FindItem(doc.tmpl(), b)->x, 95 - 13);
}
