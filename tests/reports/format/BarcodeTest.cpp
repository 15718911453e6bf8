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
    const int width = static_cast<int>(std::lround(r.width));
    const int height = r.linear ? 1 : static_cast<int>(std::lround(r.height));
    std::vector<std::string> rows(static_cast<size_t>(height), std::string(static_cast<size_t>(width), '0'));
    for (const BarcodeRect& rect : r.rects) {
        const int y0 = r.linear ? 0 : static_cast<int>(std::lround(rect.y));
        const int y1 = r.linear ? 1 : static_cast<int>(std::lround(rect.y + rect.h));
        for (int y = y0; y < y1; ++y)
            for (int x = static_cast<int>(rect.x); x < static_cast<int>(rect.x + rect.w); ++x)
                rows.at(static_cast<size_t>(y)).at(static_cast<size_t>(x)) = '1';
    }
    return rows;
}

// EAN-13 written out from the published code tables, independently of zint.
std::string Ean13Modules(const std::string& thirteen) {
    static const char* kL[] = {"0001101", "0011001", "0010011", "0111101", "0100011",
                               "0110001", "0101111", "0111011", "0110111", "0001011"};
    static const char* kG[] = {"0100111", "0110011", "0011011", "0100001", "0011101",
                               "0111001", "0000101", "0010001", "0001001", "0010111"};
    static const char* kR[] = {"1110010", "1100110", "1101100", "1000010", "1011100",
                               "1001110", "1010000", "1000100", "1001000", "1110100"};
    static const char* kParity[] = {"LLLLLL", "LLGLGG", "LLGGLG", "LLGGGL", "LGLLGG",
                                    "LGGLLG", "LGGGLL", "LGLGLG", "LGLGGL", "LGGLGL"};
    const int first = thirteen[0] - '0';
    std::string out = "101";
    for (int i = 1; i <= 6; ++i) {
        const int d = thirteen[static_cast<size_t>(i)] - '0';
        out += kParity[first][i - 1] == 'L' ? kL[d] : kG[d];
    }
    out += "01010";
    for (int i = 7; i <= 12; ++i)
        out += kR[thirteen[static_cast<size_t>(i)] - '0'];
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
    EXPECT_EQ(r.width, 10);
    EXPECT_EQ(r.height, 10);
    const auto g = Grid(r);
    for (int i = 0; i < 10; ++i) {
        EXPECT_EQ(g[static_cast<size_t>(i)][0], '1') << "left edge row " << i;
        EXPECT_EQ(g[9][static_cast<size_t>(i)], '1') << "bottom edge column " << i;
        EXPECT_EQ(g[0][static_cast<size_t>(i)], i % 2 == 0 ? '1' : '0') << "top clock column " << i;
        EXPECT_EQ(g[static_cast<size_t>(i)][9], i % 2 == 1 ? '1' : '0') << "right clock row " << i;
    }
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

TEST(Barcode, RectsStayInsideAndRunsAreMerged) {
    for (const auto& [symbology, data] :
         std::vector<std::pair<std::string, std::string>>{{"code128", "ABC-123"},
                                                          {"ean13", "690123456789"},
                                                          {"qr", "https://example.com/x?y=1"},
                                                          {"datamatrix", "Verolux"},
                                                          {"pdf417", "12345"}}) {
        const BarcodeResult r = EncodeBarcode(symbology, data);
        ASSERT_TRUE(r.ok) << symbology << ": " << r.error;
        for (const BarcodeRect& rect : r.rects) {
            EXPECT_GE(rect.x, 0);
            EXPECT_GE(rect.y, 0);
            EXPECT_GT(rect.w, 0);
            EXPECT_GT(rect.h, 0);
            EXPECT_LE(rect.x + rect.w, r.width) << symbology;
            EXPECT_LE(rect.y + rect.h, r.height + 1e-4f) << symbology;
        }
        // Merging: no two rects side by side on the same rows (those would be one run).
        for (size_t i = 0; i + 1 < r.rects.size(); ++i) {
            const BarcodeRect& a = r.rects[i];
            const BarcodeRect& b = r.rects[i + 1];
            EXPECT_FALSE(a.y == b.y && a.h == b.h && a.x + a.w == b.x) << symbology << " rect " << i;
        }
    }
}

// Quiet zones as the standards ask: Code 128 10X each side (ISO/IEC 15417), EAN-13 11X left and 7X right
// (GS1), QR 4X all round (ISO/IEC 18004), Data Matrix 1X (ISO/IEC 16022), PDF417 2X (ISO/IEC 15438).
TEST(Barcode, QuietZones) {
    const struct {
        const char* symbology;
        const char* data;
        float left, right, top;
    } rows[] = {{"code128", "A1", 10, 10, 0},
                {"ean13", "690123456789", 11, 7, 0},
                {"qr", "x", 4, 4, 4},
                {"datamatrix", "x", 1, 1, 1},
                {"pdf417", "x", 2, 2, 2}};
    for (const auto& r : rows) {
        const BarcodeResult b = EncodeBarcode(r.symbology, r.data);
        ASSERT_TRUE(b.ok) << r.symbology;
        EXPECT_EQ(b.quietLeft, r.left) << r.symbology;
        EXPECT_EQ(b.quietRight, r.right) << r.symbology;
        EXPECT_EQ(b.quietTop, r.top) << r.symbology;
        EXPECT_EQ(b.quietBottom, r.top) << r.symbology;
    }
}

// GS1's EAN-13: the first digit left of the start guard, six digits under each half, each centred
// under its seven-module character; the three guard patterns' bars (two each) reach into the digits.
TEST(Ean13, DigitsGroupedUnderTheHalvesAndLongerGuards) {
    const BarcodeResult r = EncodeBarcode("ean13", "690123456789");
    ASSERT_TRUE(r.ok);
    std::string dump;
    for (const BarcodeText& t : r.texts)
        dump +=
            t.text + "@" + std::to_string(t.centre).substr(0, std::to_string(t.centre).find('.') + 2) + " ";
    EXPECT_EQ(dump, "6@-4.5 9@6.5 0@13.5 1@20.5 2@27.5 3@34.5 4@41.5 "
                    "5@53.5 6@60.5 7@67.5 8@74.5 9@81.5 2@88.5 ");
    std::string guards;
    for (const BarcodeRect& b : r.rects)
        if (b.guard) guards += std::to_string(int(b.x)) + " ";
    EXPECT_EQ(guards, "0 2 46 48 92 94 ");
    // Code 128: one line of text, centred under the bars.
    const BarcodeResult c = EncodeBarcode("code128", "SKU-1");
    ASSERT_EQ(c.texts.size(), 1u);
    EXPECT_EQ(c.texts[0].text, "SKU-1");
    EXPECT_EQ(c.texts[0].centre, c.width / 2);
}

// Where the bars and the text land in an item's box (mm).
TEST(Barcode, PlacedInTheBoxWithItsQuietZones) {
    // EAN-13 in a 113 mm box: 11 + 95 + 7 modules, so one module is 1 mm; 20 mm high with a 3 mm text band.
    const PlacedBarcode ean = PlaceBarcode(EncodeBarcode("ean13", "690123456789"), 10, 100, 113, 20, 3);
    ASSERT_FALSE(ean.bars.empty());
    EXPECT_FLOAT_EQ(ean.bars.front().x, 10 + 11); // start guard after the left quiet zone
    EXPECT_FLOAT_EQ(ean.bars.back().x + ean.bars.back().w, 10 + 11 + 95);
    for (const BarcodeRect& b : ean.bars) {
        EXPECT_FLOAT_EQ(b.y, 100);
        // Normal bars stop above the text band; guard bars go 3 mm further (5 modules, cut to the band).
        EXPECT_FLOAT_EQ(b.h, b.guard ? 20 : 17) << b.x;
    }
    ASSERT_EQ(ean.texts.size(), 13u);
    EXPECT_DOUBLE_EQ(ean.texts[0].centreX, 10 + 11 - 4.5); // in the left quiet zone
    EXPECT_DOUBLE_EQ(ean.texts[0].top, 117);
    EXPECT_DOUBLE_EQ(ean.texts[12].centreX, 10 + 11 + 88.5);

    // Code 128 "A1": 10 + 57 + 10 modules over 77 mm; its text centred in the box.
    const BarcodeResult c = EncodeBarcode("code128", "A1");
    ASSERT_EQ(c.width, 57);
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
