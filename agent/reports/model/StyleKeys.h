#pragma once

#include "agent/reports/model/Template.h"

#include <array>
#include <string_view>
#include <variant>

namespace verolux::reports {

// The keys of a text style, once: the file reader and writer, copying and comparing styles, and the
// designer's inspector all walk this table, so a key added here is added everywhere.

enum class StyleValueKind : uint8_t { FontFamily, Text, Number, Boolean, Colour, HAlign, VAlign };

// Where a key's value lives: a member of the style, or of its borders.
using StyleMember = std::variant<std::string TextStyle::*, double TextStyle::*, bool TextStyle::*,
                                 uint32_t TextStyle::*, HAlign TextStyle::*, VAlign TextStyle::*,
                                 bool Borders::*, double Borders::*, uint32_t Borders::*>;

struct StyleKeyInfo {
    std::string_view name; // the key in the file
    StyleKey bit;
    StyleMember member;
    StyleValueKind kind;
    bool inBorders = false;  // written inside the style's "borders" object
    double min = 0, max = 0; // numbers: the range the reader accepts
    // The inspector (texts in UTF-8):
    int decimals = 0;            // numbers: decimals shown
    std::string_view label = {}; // the row's label, or the check box's when on a shared row
    std::string_view row = {};   // the label of a row several keys share as check boxes
    std::string_view undo = {};  // the name of the undo step, when not the label
    std::string_view tip = {};   // tool tip
    bool textOnly = false;       // only shown for items that hold text
};

// In file order: the style's own keys, then those of its "borders" object. The inspector shows the
// text keys first, then the others, each in this order.
inline const std::array<StyleKeyInfo, 19> kStyleKeys{{
    {.name = "font",
     .bit = kStyleFont,
     .member = &TextStyle::fontFamily,
     .kind = StyleValueKind::FontFamily,
     .label = "字体",
     .textOnly = true},
    {.name = "size",
     .bit = kStyleSize,
     .member = &TextStyle::fontSize,
     .kind = StyleValueKind::Number,
     .min = 1,
     .max = 500,
     .decimals = 1,
     .label = "字号",
     .textOnly = true},
    {.name = "bold",
     .bit = kStyleBold,
     .member = &TextStyle::bold,
     .kind = StyleValueKind::Boolean,
     .label = "粗体",
     .row = "字形",
     .textOnly = true},
    {.name = "italic",
     .bit = kStyleItalic,
     .member = &TextStyle::italic,
     .kind = StyleValueKind::Boolean,
     .label = "斜体",
     .row = "字形",
     .textOnly = true},
    {.name = "underline",
     .bit = kStyleUnderline,
     .member = &TextStyle::underline,
     .kind = StyleValueKind::Boolean,
     .label = "下划线",
     .row = "字形",
     .textOnly = true},
    {.name = "color",
     .bit = kStyleColor,
     .member = &TextStyle::color,
     .kind = StyleValueKind::Colour,
     .label = "文字颜色",
     .textOnly = true},
    {.name = "background",
     .bit = kStyleBackground,
     .member = &TextStyle::background,
     .kind = StyleValueKind::Colour,
     .label = "背景颜色"},
    {.name = "align",
     .bit = kStyleAlign,
     .member = &TextStyle::hAlign,
     .kind = StyleValueKind::HAlign,
     .label = "水平对齐",
     .textOnly = true},
    {.name = "valign",
     .bit = kStyleVAlign,
     .member = &TextStyle::vAlign,
     .kind = StyleValueKind::VAlign,
     .label = "垂直对齐",
     .textOnly = true},
    {.name = "wrap",
     .bit = kStyleWrap,
     .member = &TextStyle::wordWrap,
     .kind = StyleValueKind::Boolean,
     .label = "自动换行",
     .row = "换行",
     .textOnly = true},
    {.name = "canGrow",
     .bit = kStyleCanGrow,
     .member = &TextStyle::canGrow,
     .kind = StyleValueKind::Boolean,
     .label = "自动伸展",
     .row = "换行",
     .tip = "换行后的文字放不下时，带区随之加高",
     .textOnly = true},
    {.name = "padding",
     .bit = kStylePadding,
     .member = &TextStyle::padding,
     .kind = StyleValueKind::Number,
     .min = 0,
     .max = 100,
     .decimals = 2,
     .label = "内边距",
     .textOnly = true},
    {.name = "format",
     .bit = kStyleFormat,
     .member = &TextStyle::format,
     .kind = StyleValueKind::Text,
     .label = "显示格式",
     .textOnly = true},
    {.name = "left",
     .bit = kStyleBorderLeft,
     .member = &Borders::left,
     .kind = StyleValueKind::Boolean,
     .inBorders = true,
     .label = "左",
     .row = "边框",
     .undo = "边框"},
    {.name = "top",
     .bit = kStyleBorderTop,
     .member = &Borders::top,
     .kind = StyleValueKind::Boolean,
     .inBorders = true,
     .label = "上",
     .row = "边框",
     .undo = "边框"},
    {.name = "right",
     .bit = kStyleBorderRight,
     .member = &Borders::right,
     .kind = StyleValueKind::Boolean,
     .inBorders = true,
     .label = "右",
     .row = "边框",
     .undo = "边框"},
    {.name = "bottom",
     .bit = kStyleBorderBottom,
     .member = &Borders::bottom,
     .kind = StyleValueKind::Boolean,
     .inBorders = true,
     .label = "下",
     .row = "边框",
     .undo = "边框"},
    {.name = "width",
     .bit = kStyleBorderWidth,
     .member = &Borders::width,
     .kind = StyleValueKind::Number,
     .inBorders = true,
     .min = 0,
     .max = 20,
     .decimals = 2,
     .label = "线宽"},
    {.name = "color",
     .bit = kStyleBorderColor,
     .member = &Borders::color,
     .kind = StyleValueKind::Colour,
     .inBorders = true,
     .label = "线条颜色"},
}};

template <class T> T& StyleField(TextStyle& s, T TextStyle::*m) {
    return s.*m;
}
template <class T> const T& StyleField(const TextStyle& s, T TextStyle::*m) {
    return s.*m;
}
template <class T> T& StyleField(TextStyle& s, T Borders::*m) {
    return s.borders.*m;
}
template <class T> const T& StyleField(const TextStyle& s, T Borders::*m) {
    return s.borders.*m;
}

// Calls `f` with a reference to the key's value in `s` (const when `s` is).
template <class Style, class F> decltype(auto) VisitStyleKey(const StyleKeyInfo& key, Style& s, F&& f) {
    return std::visit([&](auto m) -> decltype(auto) { return f(StyleField(s, m)); }, key.member);
}

// Whether two styles hold different values for the key.
bool StyleKeyDiffers(const StyleKeyInfo& key, const TextStyle& a, const TextStyle& b);

// The StyleKey bits whose values differ between two styles.
uint32_t DifferingStyleKeys(const TextStyle& a, const TextStyle& b);

} // namespace verolux::reports
