#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace verolux::reports {

// All lengths are millimetres; colours are 0xAARRGGBB (alpha 0 = none).

enum class HAlign { Left, Center, Right, Justify };
enum class VAlign { Top, Middle, Bottom };

struct Borders {
    bool left = false, top = false, right = false, bottom = false;
    double width = 0.2;
    uint32_t color = 0xFF000000;
    bool any() const { return left || top || right || bottom; }
    friend bool operator==(const Borders&, const Borders&) = default;
};

struct TextStyle {
    std::string name; // empty for a style written inline on one item
    std::string fontFamily;
    double fontSize = 10; // points
    bool bold = false, italic = false, underline = false;
    uint32_t color = 0xFF000000;
    uint32_t background = 0; // transparent
    HAlign hAlign = HAlign::Left;
    VAlign vAlign = VAlign::Middle;
    bool wordWrap = false;
    bool canGrow = false; // the band grows so the wrapped text fits
    Borders borders;
    double padding = 0.5;
    std::string format; // display format applied to every reference of the item
    friend bool operator==(const TextStyle&, const TextStyle&) = default;
};

enum class ItemKind : uint8_t { Text, Line, Rect, Image, Barcode };

struct Item {
    ItemKind kind = ItemKind::Text;
    double x = 0, y = 0, w = 0, h = 0; // relative to the band; a line runs from (x,y) to (x+w,y+h)
    int style = 0;                     // index into Template::styles
    std::string text;                  // text items: literal text with {references}; barcodes: the data
    std::string symbology;             // barcodes: code128, ean13, qr, datamatrix, pdf417
    std::string imageData;             // images: the file bytes (PNG or JPEG)
    bool keepAspect = true;            // images
};

enum class BandKind : uint8_t {
    ReportHeader,
    PageHeader,
    ColumnHeader,
    GroupHeader,
    Detail,
    GroupFooter,
    ReportFooter,
    PageFooter
};

// Several detail rows side by side (label sheets). Only the detail band has columns; every other band
// stays full width.
struct Columns {
    int count = 1;
    double width = 0;   // of one column; 0 = the width between the margins shared out evenly
    double spacing = 0; // gap between two columns
    bool down = false;  // fill a column top to bottom before the next; else left to right, then down
    bool any() const { return count > 1; }
    friend bool operator==(const Columns&, const Columns&) = default;
};

struct Band {
    bool present = false;
    double height = 0;
    std::vector<Item> items;
    Columns columns; // detail band only
};

struct Group {
    std::string name;
    std::vector<std::string> fields; // rows whose values of all these fields are equal form one group
    bool newPage = false;            // each group after the first starts on a new page
    bool repeatHeader = true;        // header printed again at the top of a page the group continues on
    Band header, footer;
};

struct Declared {
    std::string name;
    std::string type = "text"; // text, integer, decimal, currency, boolean, datetime
    std::string format;        // default display format
    std::string defaultValue;  // parameters only
};

struct PageSetup {
    std::string paper = "A4";         // A3, A4, A5, B5, Letter, Legal or Custom
    double width = 210, height = 297; // portrait size; landscape swaps on use
    bool landscape = false;
    double marginLeft = 15, marginTop = 15, marginRight = 15, marginBottom = 15;
    double pageWidth() const { return landscape ? height : width; }
    double pageHeight() const { return landscape ? width : height; }
};

inline constexpr int kTemplateFormatVersion = 1;

struct Template {
    std::string title;
    std::string printer;
    PageSetup page;
    std::vector<TextStyle> styles; // styles[0] is the default style
    std::vector<Declared> parameters;
    std::vector<Declared> fields;
    Band reportHeader, pageHeader, columnHeader, detail, reportFooter, pageFooter;
    std::vector<Group> groups; // outermost first

    Template();
    int findStyle(const std::string& name) const; // -1 if unknown
};

// Width of one detail column: the declared width, or the room between the margins shared out evenly.
double ColumnWidth(const Columns& columns, const PageSetup& page);

// Fills in the paper size of a named paper; false if the name is unknown.
bool PaperSize(const std::string& paper, double& width, double& height);

} // namespace verolux::reports
