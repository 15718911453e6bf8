// The page painter on a canvas that writes down what it is asked to draw, with text measured by hand
// (FixedMeasurer: 2 mm per ASCII character at 10 pt, lines 5 mm, ascent 4 mm): the order of the
// layers, alignment, clipping, underlines, borders gathered per pen, pictures and barcodes.
#include "agent/reports/engine/PagePainter.h"
#include "agent/reports/engine/PageCanvas.h"
#include "tests/reports/engine/FixedMeasurer.h"

#include <QBuffer>

#include <gtest/gtest.h>

#include <cmath>
#include <deque>
#include <sstream>

using namespace verolux::reports;

namespace {

std::string N(double v) {
    std::ostringstream out;
    out << std::round(v * 100) / 100;
    return out.str();
}

std::string Box(const QRectF& r) {
    return N(r.x()) + "," + N(r.y()) + " " + N(r.width()) + "x" + N(r.height());
}

std::string Color(uint32_t c) {
    char buf[12];
    std::snprintf(buf, sizeof buf, " #%08X\n", c);
    return buf;
}

// Writes down each call, one line each.
class RecordingCanvas : public PageCanvas {
  public:
    std::string log;
    void fillRect(const QRectF& box, uint32_t color) override { log += "fill " + Box(box) + Color(color); }
    void fillRects(const QVector<QRectF>& boxes, uint32_t color) override {
        log += "bars " + std::to_string(boxes.size()) + " from " + Box(boxes.front()) + Color(color);
    }
    void drawLines(const QVector<QLineF>& lines, uint32_t color, double width) override {
        log += "lines " + N(width) + Color(color).substr(0, 10) + ":";
        for (const QLineF& l : lines)
            log += " " + N(l.x1()) + "," + N(l.y1()) + "-" + N(l.x2()) + "," + N(l.y2());
        log += "\n";
    }
    void drawImage(const QRectF& box, const QImage& image, const void*) override {
        log += "image " + Box(box) + " " + std::to_string(image.width()) + "px\n";
    }
    void drawText(double x, double baseline, int style, std::string_view text, uint32_t color) override {
        log += "text " + N(x) + "," + N(baseline) + " s" + std::to_string(style) + " '" + std::string(text) +
               "'" + Color(color);
    }
    void pushClip(const QRectF& box) override { log += "clip " + Box(box) + "\n"; }
    void popClip() override { log += "unclip\n"; }
};

struct Painted {
    Template t;
    Page page;
    std::deque<Item> sources; // the template items of pictures and barcodes, at fixed addresses

    int style(const std::function<void(TextStyle&)>& change) {
        TextStyle s = t.styles[0];
        change(s);
        t.styles.push_back(s);
        return int(t.styles.size() - 1);
    }
    void add(ItemKind kind, int styleIndex, float x, float y, float w, float h, std::string_view text = {},
             Item* source = nullptr) {
        PageItem it;
        it.kind = kind;
        it.style = styleIndex;
        it.x = x, it.y = y, it.w = w, it.h = h;
        it.textOffset = uint32_t(page.text.size());
        it.textLength = uint32_t(text.size());
        it.source = source;
        page.text += text;
        page.items.push_back(it);
    }
    Item* source(const std::string& imageData, const std::string& symbology = {}, bool keepAspect = true) {
        Item& i = sources.emplace_back();
        i.imageData = imageData, i.symbology = symbology, i.keepAspect = keepAspect;
        return &i;
    }
    std::string paint() {
        FixedMeasurer measurer(t);
        PagePainter painter(t, measurer);
        RecordingCanvas canvas;
        painter.paint(page, canvas);
        return canvas.log;
    }
};

// Backgrounds first, texts over them, all lines last and one call per pen, whatever the item order.
TEST(PagePainter, LayersAndBordersPerPen) {
    Painted p;
    const int cell = p.style([](TextStyle& s) {
        s.background = 0xFFEEEEEE;
        s.borders = {true, true, true, true, 0.2, 0xFF000000};
    });
    const int red = p.style([](TextStyle& s) { s.borders = {false, false, false, true, 0.5, 0xFFFF0000}; });
    p.add(ItemKind::Text, cell, 10, 10, 20, 6, "A");
    p.add(ItemKind::Line, red, 0, 30, 50, 0);
    p.add(ItemKind::Text, cell, 30, 10, 20, 6, "B");
    EXPECT_EQ(p.paint(), "fill 10,10 20x6 #FFEEEEEE\n"
                         "fill 30,10 20x6 #FFEEEEEE\n"
                         "text 10.5,14.5 s1 'A' #FF000000\n" // middle: 10 + (6 - 5) / 2 + 4
                         "text 30.5,14.5 s1 'B' #FF000000\n"
                         "lines 0.2 #FF000000: 10,10-30,10 10,16-30,16 10,10-10,16 30,10-30,16 30,10-50,10 "
                         "30,16-50,16 30,10-30,16 50,10-50,16\n"
                         "lines 0.5 #FFFF0000: 0,30-50,30\n");
}

TEST(PagePainter, AlignmentPaddingAndLines) {
    Painted p;
    const int centreTop = p.style([](TextStyle& s) {
        s.hAlign = HAlign::Center;
        s.vAlign = VAlign::Top;
        s.padding = 1;
    });
    const int rightBottom = p.style([](TextStyle& s) {
        s.hAlign = HAlign::Right;
        s.vAlign = VAlign::Bottom;
        s.underline = true;
    });
    p.add(ItemKind::Text, centreTop, 0, 0, 40, 20, "ab\n\nabcd"); // the empty line keeps its place
    p.add(ItemKind::Text, rightBottom, 0, 20, 40, 10, "xyz");
    EXPECT_EQ(p.paint(), "text 18,5 s1 'ab' #FF000000\n"       // (40 - 4) / 2, 0 + 1 + 4
                         "text 16,15 s1 'abcd' #FF000000\n"    // third line: 1 + 2 × 5 + 4
                         "text 33.5,28.5 s2 'xyz' #FF000000\n" // 20 + 10 - 0.5 - 5 + 4
                         // Underline 0.35 mm below the baseline, 0.18 mm thick, as long as the text.
                         "lines 0.18 #FF000000: 33.5,28.85-39.5,28.85\n");
}

// Only text that does not fit is clipped, and then it starts at the left padding to stay readable.
TEST(PagePainter, OverflowIsClippedAtTheCell) {
    Painted p;
    const int right = p.style([](TextStyle& s) { s.hAlign = HAlign::Right; });
    p.add(ItemKind::Text, right, 0, 0, 10, 6, "abcd");      // 8 mm in 9 mm: fits
    p.add(ItemKind::Text, right, 0, 10, 10, 6, "abcdefgh"); // 16 mm: does not
    p.add(ItemKind::Text, 0, 0, 20, 10, 4, "a\nb"); // two 5 mm lines in 4 mm, centred: both ends spill
    EXPECT_EQ(p.paint(), "text 1.5,4.5 s1 'abcd' #FF000000\n"
                         "clip 0,10 10x6\n"
                         "text 0.5,14.5 s1 'abcdefgh' #FF000000\n"
                         "unclip\n"
                         "clip 0,20 10x4\n"
                         "text 0.5,21 s0 'a' #FF000000\n"
                         "text 0.5,26 s0 'b' #FF000000\n"
                         "unclip\n");
}

TEST(PagePainter, PicturesKeepTheirAspectAndBarcodesTheirText) {
    Painted p;
    QImage png(40, 20, QImage::Format_RGB32);
    png.fill(Qt::blue);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    png.save(&buffer, "PNG");
    p.add(ItemKind::Image, 0, 0, 0, 30, 30, {}, p.source(bytes.toStdString()));
    p.add(ItemKind::Image, 0, 0, 40, 30, 30, {}, p.source(bytes.toStdString(), {}, false));
    p.add(ItemKind::Barcode, 0, 0, 80, 77, 20, "A1", p.source({}, "code128"));
    p.add(ItemKind::Barcode, 0, 0, 110, 40, 10, "12", p.source({}, "ean13"));
    EXPECT_EQ(p.paint(),
              "image 0,7.5 30x15 40px\n" // 2:1 centred in the square
              "image 0,40 30x30 40px\n"
              // "A1" is 4 mm wide, centred under 57 modules of 1 mm between 10 mm quiet zones.
              "text 36.5,99 s0 'A1' #FF000000\n"
              "bars 16 from 10,80 2x15 #FF000000\n"
              // Data the symbology refuses: its reason in red, clipped to the item.
              "clip 0,110 40x10\n"
              "text 0,114 s0 'EAN-13 takes 12 digits (or 13 with the check digit), got 2' #FFCC0000\n"
              "unclip\n");
}

} // namespace
