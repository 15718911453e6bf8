// Drags on the page without a widget: press, move and release in page millimetres, with or without
// snapping, read back as the live state a canvas draws and as the step the release makes.
#include "agent/reports/design/DragGesture.h"
#include "agent/reports/design/DesignDump.h"
#include "tests/reports/design/DesignTestSupport.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <sstream>

using namespace verolux::reports;
using namespace verolux::reports::design;
using designtest::LoadSample;

namespace {

const BandRef kDetail{BandSlot::Detail};

std::string Num(double v) {
    char buf[32];
    auto [p, ec] = std::to_chars(buf, buf + sizeof buf, std::round(v * 1000) / 1000);
    return std::string(buf, p);
}

// What a canvas would draw: the offset, the band the items would land in, a resized box, a band's
// height, the guides (page mm, left margin 10 and the detail band's top subtracted for reading).
std::string Live(const DragGesture& g, const DesignLayout& layout) {
    std::string o;
    switch (g.kind()) {
    case DragGesture::Kind::Move:
        o = "move " + Num(g.dx()) + "," + Num(g.dy());
        if (g.dropBand()) o += " into " + BandPath(*g.dropBand());
        break;
    case DragGesture::Kind::Resize: {
        const RectMm r = g.resized();
        o = "resize " + Num(r.x) + "," + Num(r.y) + " " + Num(r.w) + "x" + Num(r.h);
        break;
    }
    case DragGesture::Kind::BandEdge:
        o = "height " + Num(g.edgeHeight());
        break;
    case DragGesture::Kind::None:
        o = "none";
    }
    const double top = layout.find(kDetail)->top;
    for (const Guide& gd : g.guides())
        o += gd.vertical ? " |" + Num(gd.at - layout.left) : " _" + Num(gd.at - top);
    return o;
}

ItemRef D(int i) {
    return {kDetail, i};
}

// Where a drag starts, in the detail band: on an item (Handle::None moves it, another resizes it by that
// handle, with the item selected) or, without an item, on the band's bottom edge.
struct Press {
    int item;
    Handle handle;
    double x, y;
};
Press Grab(int item, double x, double y, Handle handle = Handle::None) {
    return {item, handle, x, y};
}
Press Edge(double x, double y) {
    return {-1, Handle::None, x, y};
}

struct DragRow {
    const char* name;
    Press press;
    double toX, toY; // where the pointer goes, in the detail band's coordinates
    bool free, guides;
    std::string live;    // Live() after the move
    std::string changed; // the first dump line the release changed ("" when none)
};

// The order list: detail items [0] {orderNo} 0..24, [1] 24..46, ..., [6] {amount} 164..190, 6 mm high;
// the group footer follows the 6 mm detail band.
const DragRow kDrags[] = {
    // clang-format off
    {"a move lands on the grid", Grab(0, 1, 2), 11.3, 2.2, false, false,
     "move 10,0", "  [0] text 10,0 24x6 cell \"{orderNo}\""},
    // Its right edge (34.3) is 0.7 mm from {customer}'s centre (35); its top and bottom are both 0.2 mm
    // from the band's top and bottom: the later of equals, the bottom, wins.
    {"an edge within reach catches and shows a guide", Grab(0, 1, 2), 11.3, 2.2, false, true,
     "move 11,0 |35 _6", "  [0] text 11,0 24x6 cell \"{orderNo}\""},
    {"Alt places freely", Grab(0, 1, 2), 11.3, 2.2, true, true,
     "move 10.3,0.2", "  [0] text 10.3,0.2 24x6 cell \"{orderNo}\""},
    {"nothing goes left of the margin", Grab(1, 25, 2), -10, 2, false, false,
     "move -24,0", "  [1] text 0,0 22x6 cell \"{orderDate}\""},
    // Down 6.2 mm: its top is 0.2 mm into the group footer, which the grid makes 0.
    {"a move into the next band", Grab(6, 165, 1), 165, 7.2, false, false,
     "move 0,6 into groups[0].footer", "  [3] text 164,0 26x6 cellMoney \"{amount}\""},
    {"the bottom-right handle", Grab(6, 190, 6, Handle::BottomRight), 185.4, 9, false, false,
     "resize 164,0 21x9", "  [6] text 164,0 21x9 cellMoney \"{amount}\""},
    {"the left handle past the right edge flips the box", Grab(6, 164, 3, Handle::Left), 195, 3, false, false,
     "resize 190,0 5x6", "  [6] text 190,0 5x6 cellMoney \"{amount}\""},
    // Its middle (3.4 mm down) catches the footer items' middles (3.5); its right edge the page's.
    {"a move into the next band catches the edges there", Grab(6, 165, 1), 165, 7.4, false, true,
     "move 0,6.5 into groups[0].footer |190 _9.5", "  [3] text 164,0.5 26x6 cellMoney \"{amount}\""},
    // The top handle moves only the top: no guide across, however near an edge the pointer is.
    {"the top handle snaps only down", Grab(6, 177, 0, Handle::Top), 164.4, 2.3, false, true,
     "resize 164,3 26x3 _3", "  [6] text 164,3 26x3 cellMoney \"{amount}\""},
    {"a band edge on the grid", Edge(60, 6), 60, 9.2, false, false, "height 9", "detail 9 mm"},
    {"a band edge with Alt", Edge(60, 6), 60, 9.2, true, false, "height 9.2", "detail 9.2 mm"},
    {"a move back where it was changes nothing", Grab(0, 1, 2), 1.2, 2.1, false, false, "move 0,0", ""},
    // clang-format on
};

class Drags : public testing::TestWithParam<DragRow> {};

std::string FirstChange(const std::string& before, const std::string& after) {
    std::istringstream a(before), b(after);
    std::vector<std::string> old;
    for (std::string line; std::getline(a, line);)
        old.push_back(line);
    for (std::string line; std::getline(b, line);)
        if (std::find(old.begin(), old.end(), line) == old.end()) return line;
    return "";
}

} // namespace

TEST_P(Drags, LiveStateAndTheStepOnRelease) {
    const DragRow& r = GetParam();
    DesignDocument doc(LoadSample("orders.grf"));
    const DesignLayout layout = LayOutDesign(doc.tmpl());
    const PlacedBand* detail = layout.find(kDetail);
    const auto at = [&](double x, double y) { return PointMm{layout.left + x, detail->top + y}; };
    const Press& p = r.press;
    if (p.item >= 0) doc.select({D(p.item)});
    DragGesture g = p.item < 0 ? DragGesture::BandEdge(doc.tmpl(), kDetail, at(p.x, p.y))
                    : p.handle == Handle::None
                        ? DragGesture::Move(D(p.item), at(p.x, p.y))
                        : DragGesture::Resize(doc.tmpl(), D(p.item), p.handle, at(p.x, p.y));
    SnapSettings snap;
    snap.guides = r.guides;
    g.move(doc, layout, at(r.toX, r.toY), r.free, snap);
    EXPECT_EQ(Live(g, layout), r.live);
    const std::string before = DescribeDesign(doc.tmpl());
    EXPECT_EQ(g.release(doc, layout), !r.changed.empty());
    EXPECT_EQ(FirstChange(before, DescribeDesign(doc.tmpl())), r.changed);
    EXPECT_EQ(g.kind(), DragGesture::Kind::None) << "released";
    EXPECT_TRUE(g.guides().empty());
}

INSTANTIATE_TEST_SUITE_P(Page, Drags, testing::ValuesIn(kDrags), designtest::RowName<DragRow>);
