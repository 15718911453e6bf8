#pragma once

#include "agent/reports/model/FileKeys.h"

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

// The keys of a style, as bits of TextStyle::own.
enum StyleKey : uint32_t {
    kStyleFont = 1u << 0,
    kStyleSize = 1u << 1,
    kStyleBold = 1u << 2,
    kStyleItalic = 1u << 3,
    kStyleUnderline = 1u << 4,
    kStyleColor = 1u << 5,
    kStyleBackground = 1u << 6,
    kStyleAlign = 1u << 7,
    kStyleVAlign = 1u << 8,
    kStyleWrap = 1u << 9,
    kStyleCanGrow = 1u << 10,
    kStylePadding = 1u << 11,
    kStyleFormat = 1u << 12,
    kStyleBorderLeft = 1u << 13,
    kStyleBorderTop = 1u << 14,
    kStyleBorderRight = 1u << 15,
    kStyleBorderBottom = 1u << 16,
    kStyleBorderWidth = 1u << 17,
    kStyleBorderColor = 1u << 18,
    kStyleBorderSides = kStyleBorderLeft | kStyleBorderTop | kStyleBorderRight | kStyleBorderBottom,
};

// A style holds its resolved values (what the layout and the painter use), and remembers which of
// them it sets itself (`own`); the others come from `base`, or from "default" when it names none.
struct TextStyle {
    std::string name; // empty for a style written inline on one item
    std::string base; // the style this one builds on; empty = "default"
    uint32_t own = 0; // StyleKey bits this style sets itself
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
    FileKeys keys, borderKeys;
    friend bool operator==(const TextStyle&, const TextStyle&) = default;
};

enum class ItemKind : uint8_t { Text, Line, Rect, Image, Barcode };

// Conditional formatting: when `when` holds for the row, the item takes the colour, weight, slant,
// underline and background that the style `style` sets itself, or is not printed (`visible` false).
// The first rule that holds applies.
struct StyleRule {
    std::string when;  // an expression, without braces
    std::string style; // a named style; empty: none
    bool visible = true;
    FileKeys keys;
    friend bool operator==(const StyleRule&, const StyleRule&) = default;
};

struct Item {
    ItemKind kind = ItemKind::Text;
    double x = 0, y = 0, w = 0, h = 0; // relative to the band; a line runs from (x,y) to (x+w,y+h)
    int style = 0;                     // index into Template::styles
    std::string text;                  // text items: literal text with {references}; barcodes: the data
    std::string symbology;             // barcodes: code128, ean13, qr, datamatrix, pdf417
    std::string imageData;             // images: the file bytes (PNG or JPEG)
    bool keepAspect = true;            // images
    std::vector<StyleRule> rules;      // conditional formatting, in order
    FileKeys keys;
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
    Columns columns;             // detail band only
    bool keepTogether = false;   // moves to the next page rather than split, unless taller than a page
    bool keepWithDetail = false; // group footers: never starts a page alone, takes the last row with it
    bool printAtBottom = false;  // report footer: at the bottom of the last page, above the page footer
    FileKeys keys, columnKeys;
};

struct Group {
    std::string name;
    std::vector<std::string> fields; // rows whose values of all these fields are equal form one group
    bool newPage = false;            // each group after the first starts on a new page
    bool repeatHeader = true;        // header printed again at the top of a page the group continues on
    Band header, footer;
    FileKeys keys;
};

struct Declared {
    std::string name;
    std::string type = "text"; // text, integer, decimal, currency, boolean, datetime
    std::string format;        // default display format
    std::string defaultValue;  // parameters only
    FileKeys keys;
};

struct PageSetup {
    std::string paper = "A4";         // A3, A4, A5, B5, Letter, Legal or Custom
    double width = 210, height = 297; // portrait size; landscape swaps on use
    bool landscape = false;
    double marginLeft = 15, marginTop = 15, marginRight = 15, marginBottom = 15;
    FileKeys keys, marginKeys;
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
    std::vector<Group> groups;          // outermost first
    FileKeys keys, styleKeys, bandKeys; // the top level, "styles" and "bands" objects
    // Styles added for printing only (layout/RuleStyles.h), never saved: an item's style with what a
    // rule's style sets over it.
    struct DerivedStyle {
        int base = 0, rule = 0, derived = 0;
    };
    std::vector<DerivedStyle> derivedStyles;

    Template();
    int findStyle(const std::string& name) const; // -1 if unknown
};

// The style every template starts from, before its "default" style changes anything.
TextStyle BuiltInStyle();

// Copies the keys named by `keys` (StyleKey bits) from one style to another.
void CopyStyleKeys(uint32_t keys, const TextStyle& from, TextStyle& to);

// Recomputes the inherited values of every style from its base chain (call it after changing a style
// that others build on). "default" and the styles in its own chain start from BuiltInStyle(), every other
// chain from "default". Linear in the number of styles. Returns the index of a style whose base is unknown
// or whose chain comes back to itself (those styles are left as they were), else -1.
int ResolveStyles(Template& tmpl);

// Width of one detail column: the declared width, or the room between the margins shared out evenly.
double ColumnWidth(const Columns& columns, const PageSetup& page);

// Fills in the paper size of a named paper; false if the name is unknown.
bool PaperSize(const std::string& paper, double& width, double& height);

} // namespace verolux::reports
