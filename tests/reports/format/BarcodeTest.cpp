#include "agent/reports/barcode/Barcode.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

using namespace verolux::reports::barcode;

namespace {

// Module rows rebuilt from the rectangles: '1' dark, '0' light. Row heights are taken as whole modules.
std::vector<std::string> Grid(const BarcodeResult& r) {
    const auto at = [](float v) { return size_t(std::lround(v)); };
    std::vector<std::string> rows(r.linear ? 1 : at(r.height), std::string(at(r.width), '0'));
    for (const BarcodeRect& rect : r.rects)
        for (size_t y = r.linear ? 0 : at(rect.y); y < (r.linear ? 1 : at(rect.y + rect.h)); ++y)
            for (size_t x = size_t(rect.x); x < size_t(rect.x + rect.w); ++x)
                rows.at(y).at(x) = '1';
    return rows;
}

// EAN-13 written out from the published code tables, independently of zint: the right-hand codes are the
// left-hand ones inverted, the G codes the right-hand ones reversed.
std::string Ean13Modules(const std::string& thirteen) {
    static const char* kL[] = {"0001101", "0011001", "0010011", "0111101", "0100011",
                               "0110001", "0101111", "0111011", "0110111", "0001011"};
    static const char* kParity[] = {"LLLLLL", "LLGLGG", "LLGGLG", "LLGGGL", "LGLLGG",
                                    "LGGLLG", "LGGGLL", "LGLGLG", "LGLGGL", "LGGLGL"};
    std::string out = "101";
    for (size_t i = 1; i <= 12; ++i) {
        std::string code = kL[thirteen[i] - '0'];
        const bool g = i <= 6 && kParity[thirteen[0] - '0'][i - 1] == 'G';
        if (i > 6 || g)
            for (char& c : code)
                c ^= 1; // '0' <-> '1'
        if (g) std::reverse(code.begin(), code.end());
        out += code + (i == 6 ? "01010" : "");
    }
    return out + "101";
}

// Twelve digits get their check digit, thirteen are verified; the bars follow the code tables.
TEST(Ean13, CheckDigitAndCodeTables) {
    // Weights 1,3,1,3…: 6+27+0+3+2+9+4+15+6+21+8+27 = 128 → check digit 2. The others are printed on
    // real products and books.
    for (const char* full : {"6901234567892", "4006381333931", "9780306406157", "0000000000000"}) {
        for (const std::string& data : {std::string(full, 12), std::string(full)}) {
            const BarcodeResult r = EncodeBarcode("EAN13", data);
            ASSERT_TRUE(r.ok) << data << ": " << r.error;
            EXPECT_EQ(r.humanText, full);
            EXPECT_EQ(r.width, 95);
            EXPECT_EQ(r.rects.size(), 30u); // 3 guards × 2 bars + 12 digits × 2 bars
            EXPECT_EQ(Grid(r)[0], Ean13Modules(full)) << data;
        }
    }
    const BarcodeResult bad = EncodeBarcode("ean13", "6901234567891");
    EXPECT_FALSE(bad.ok);
    EXPECT_NE(bad.error.find("check digit"), std::string::npos) << bad.error;
    EXPECT_TRUE(bad.rects.empty());
}

TEST(Code128, WidthFollowsTheSymbolFormula) {
    // Start (11) + 11 per symbol character + check (11) + stop (13).
    const BarcodeResult text = EncodeBarcode("code128", "Hello");
    ASSERT_TRUE(text.ok) << text.error;
    EXPECT_EQ(text.width, 11 + 5 * 11 + 11 + 13); // code set B, one character each
    EXPECT_EQ(text.humanText, "Hello");
    const std::string modules = Grid(text)[0];
    EXPECT_EQ(modules.substr(0, 11), "11010010000");                 // Start B
    EXPECT_EQ(modules.substr(modules.size() - 13), "1100011101011"); // Stop

    const BarcodeResult digits = EncodeBarcode("code128", "123456");
    ASSERT_TRUE(digits.ok) << digits.error;
    EXPECT_EQ(digits.width, 11 + 3 * 11 + 11 + 13);          // code set C packs two digits per character
    EXPECT_EQ(Grid(digits)[0].substr(0, 11), "11010011100"); // Start C
}

bool FinderAt(const std::vector<std::string>& g, int x0, int y0) {
    for (int y = 0; y < 7; ++y) {
        for (int x = 0; x < 7; ++x) {
            const bool ring = x == 0 || x == 6 || y == 0 || y == 6;
            const bool core = x >= 2 && x <= 4 && y >= 2 && y <= 4;
            const char expected = ring || core ? '1' : '0';
            if (g[static_cast<size_t>(y0 + y)][static_cast<size_t>(x0 + x)] != expected) return false;
        }
    }
    return true;
}

TEST(QrCode, ShortDataIsVersionOneAndLongerDataGrows) {
    const BarcodeResult r = EncodeBarcode("qr", "hello");
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_FALSE(r.linear);
    EXPECT_EQ(r.width, 21);
    EXPECT_EQ(r.height, 21);
    const auto g = Grid(r);
    EXPECT_TRUE(FinderAt(g, 0, 0));
    EXPECT_TRUE(FinderAt(g, 14, 0));
    EXPECT_TRUE(FinderAt(g, 0, 14));
    // Timing pattern on row 6 between the finders: dark on even columns.
    EXPECT_EQ(g[6].substr(8, 5), "10101");
    EXPECT_TRUE(r.humanText.empty());
    // Chinese text, and 500 characters: a larger version, 17 + 4 × version modules square.
    for (const std::string& data : {std::string("发票号码：12345678"), std::string(500, 'x')}) {
        const BarcodeResult more = EncodeBarcode("QR", data);
        ASSERT_TRUE(more.ok) << more.error;
        EXPECT_GT(more.width, 21);
        EXPECT_EQ(static_cast<int>(more.width - 17) % 4, 0);
        EXPECT_EQ(more.width, more.height);
    }
}

TEST(DataMatrix, SmallestSymbolAndFinder) {
    const BarcodeResult r = EncodeBarcode("datamatrix", "A");
    ASSERT_TRUE(r.ok) << r.error;
    const auto g = Grid(r);
    ASSERT_EQ(g.size(), 10u);
    std::string left, right;
    for (const std::string& row : g)
        left += row.at(0), right += row.at(9);
    // The finder: solid left edge and bottom row, clock tracks along the top and the right.
    EXPECT_EQ(left + " " + g[9] + " " + g[0] + " " + right, "1111111111 1111111111 1010101010 0101010101");
}

TEST(Pdf417, StartPatternRunsDownEveryRow) {
    const BarcodeResult r = EncodeBarcode("pdf417", "Verolux 报表 12345");
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_FALSE(r.linear);
    EXPECT_FALSE(r.rects.empty());
    // Rows are three modules high: the rectangles span rows × 3.
    EXPECT_EQ(std::fmod(r.height, 3.0f), 0.0f) << r.height;
    EXPECT_GE(r.height, 9);
    // Start pattern 81111113: eight dark modules on every row, merged into one rect.
    bool found = false;
    for (const BarcodeRect& rect : r.rects)
        found = found || (rect.x == 0 && rect.y == 0 && rect.w == 8 && rect.h == r.height);
    EXPECT_TRUE(found);
}

// Every symbology: rectangles inside the symbol, runs merged (no two rects side by side on the same rows),
// and quiet zones as the standards ask: Code 128 10X each side (ISO/IEC 15417), EAN-13 11X left and 7X
// right (GS1), QR 4X all round (ISO/IEC 18004), Data Matrix 1X (ISO/IEC 16022), PDF417 2X (ISO/IEC 15438).
TEST(Barcode, RectsInsideRunsMergedAndQuietZones) {
    const struct {
        const char *symbology, *data;
        float left, right, top;
    } rows[] = {{"code128", "ABC-123", 10, 10, 0},
                {"ean13", "690123456789", 11, 7, 0},
                {"qr", "https://example.com/x?y=1", 4, 4, 4},
                {"datamatrix", "Verolux", 1, 1, 1},
                {"pdf417", "12345", 2, 2, 2}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.symbology);
        const BarcodeResult r = EncodeBarcode(row.symbology, row.data);
        ASSERT_TRUE(r.ok) << r.error;
        EXPECT_EQ(r.quietLeft, row.left);
        EXPECT_EQ(r.quietRight, row.right);
        EXPECT_EQ(r.quietTop, row.top);
        EXPECT_EQ(r.quietBottom, row.top);
        for (size_t i = 0; i < r.rects.size(); ++i) {
            const BarcodeRect& a = r.rects[i];
            EXPECT_TRUE(a.x >= 0 && a.y >= 0 && a.w > 0 && a.h > 0) << "rect " << i;
            EXPECT_LE(a.x + a.w, r.width);
            EXPECT_LE(a.y + a.h, r.height + 1e-4f);
            if (i + 1 == r.rects.size()) continue;
            const BarcodeRect& b = r.rects[i + 1];
            EXPECT_FALSE(a.y == b.y && a.h == b.h && a.x + a.w == b.x) << "rect " << i;
        }
    }
}

// GS1's EAN-13 in a 113 mm box: 11 + 95 + 7 modules, so one module is 1 mm; 20 mm high with a 3 mm text
// band. The first digit left of the start guard, six digits under each half, each centred under its
// seven-module character; the three guard patterns' bars (two each) reach into the text band.
TEST(Barcode, PlacedInTheBoxWithItsQuietZones) {
    const PlacedBarcode ean = PlaceBarcode(EncodeBarcode("ean13", "690123456789"), 10, 100, 113, 20, 3);
    std::string texts, guards; // in mm from the start guard, 21 mm into the box
    for (const PlacedText& t : ean.texts) {
        texts += t.text + "@" +
                 std::to_string(t.centreX - 21).substr(0, std::to_string(t.centreX - 21).find('.') + 2) + " ";
        EXPECT_DOUBLE_EQ(t.top, 117);
    }
    EXPECT_EQ(texts, "6@-4.5 9@6.5 0@13.5 1@20.5 2@27.5 3@34.5 4@41.5 "
                     "5@53.5 6@60.5 7@67.5 8@74.5 9@81.5 2@88.5 ");
    for (const BarcodeRect& b : ean.bars) {
        EXPECT_FLOAT_EQ(b.y, 100);
        EXPECT_FLOAT_EQ(b.h, b.guard ? 20 : 17) << b.x; // guard bars 5 modules further, cut to the band
        if (b.guard) guards += std::to_string(int(b.x) - 21) + " ";
    }
    EXPECT_EQ(guards, "0 2 46 48 92 94 ");
    EXPECT_FLOAT_EQ(ean.bars.back().x + ean.bars.back().w, 10 + 11 + 95);

    // Code 128 "A1": 10 + 57 + 10 modules over 77 mm; its one line of text centred in the box.
    const BarcodeResult c = EncodeBarcode("code128", "A1");
    ASSERT_EQ(c.width, 57);
    ASSERT_EQ(c.texts.size(), 1u);
    const PlacedBarcode code = PlaceBarcode(c, 0, 0, 77, 10, 4);
    EXPECT_FLOAT_EQ(code.bars.front().x, 10);
    EXPECT_FLOAT_EQ(code.bars.back().x + code.bars.back().w, 67);
    EXPECT_FLOAT_EQ(code.bars.front().h, 6);
    EXPECT_DOUBLE_EQ(code.texts.at(0).centreX, 38.5);

    // QR version 1 (21 modules + 4 + 4) in a wide box: square modules, the symbol with its quiet zone
    // centred; no text band.
    const PlacedBarcode qr = PlaceBarcode(EncodeBarcode("qr", "hello"), 0, 0, 100, 29, 5);
    EXPECT_TRUE(qr.texts.empty());
    float minX = 1e9f, minY = 1e9f, maxX = 0, maxY = 0;
    for (const BarcodeRect& b : qr.bars) {
        minX = std::min(minX, b.x);
        minY = std::min(minY, b.y);
        maxX = std::max(maxX, b.x + b.w);
        maxY = std::max(maxY, b.y + b.h);
    }
    EXPECT_FLOAT_EQ(minX, (100 - 29) / 2.0f + 4);
    EXPECT_FLOAT_EQ(maxX, (100 - 29) / 2.0f + 25);
    EXPECT_FLOAT_EQ(minY, 4);
    EXPECT_FLOAT_EQ(maxY, 25);
    // Nothing to place for a failed symbol or an empty box.
    EXPECT_TRUE(PlaceBarcode(EncodeBarcode("ean13", "1"), 0, 0, 10, 10, 1).bars.empty());
    EXPECT_TRUE(PlaceBarcode(EncodeBarcode("qr", "x"), 0, 0, 0, 10, 1).bars.empty());
}

// What a symbology cannot carry fails with a reason and draws nothing.
TEST(Barcode, RefusedData) {
    const auto refused = [](const std::string& symbology, const std::string& data) {
        const BarcodeResult r = EncodeBarcode(symbology, data);
        EXPECT_FALSE(r.ok) << symbology << " " << data;
        EXPECT_FALSE(r.error.empty()) << symbology << " " << data;
        EXPECT_TRUE(r.rects.empty()) << symbology << " " << data;
    };
    for (const char* symbology : {"code128", "ean13", "qr", "datamatrix", "pdf417"})
        refused(symbology, "");
    for (const char* data : {"12345", "69012345678a", "69012345678901", "+1234567890123", "690123 456789"})
        refused("ean13", data);
    refused("code39", "ABC");
    refused("", "ABC");
    refused("code128", "中文");
    refused("qr", std::string(8000, 'x'));
    EXPECT_TRUE(EncodeBarcode("code128", "Caf\xC3\xA9").ok); // Latin-1 is in code set B
    EXPECT_TRUE(IsKnownSymbology("DataMatrix"));
    EXPECT_FALSE(IsKnownSymbology("upca"));
}

} // namespace
