#pragma once

#include "agent/reports/model/Template.h"

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace verolux::reports {

// The names the template file uses for the model's choices: one table per choice, read by the reader
// and the writer alike.
template <class T> struct Named {
    T value;
    std::string_view name;
};

inline constexpr std::array<Named<HAlign>, 4> kAlignNames{{{HAlign::Left, "left"},
                                                           {HAlign::Center, "center"},
                                                           {HAlign::Right, "right"},
                                                           {HAlign::Justify, "justify"}}};
inline constexpr std::array<Named<VAlign>, 3> kVAlignNames{
    {{VAlign::Top, "top"}, {VAlign::Middle, "middle"}, {VAlign::Bottom, "bottom"}}};
inline constexpr std::array<Named<ItemKind>, 5> kItemKindNames{{{ItemKind::Text, "text"},
                                                                {ItemKind::Line, "line"},
                                                                {ItemKind::Rect, "rect"},
                                                                {ItemKind::Image, "image"},
                                                                {ItemKind::Barcode, "barcode"}}};
// PageSetup::landscape, Columns::down, and all four border sides at once.
inline constexpr std::array<Named<bool>, 2> kOrientationNames{{{false, "portrait"}, {true, "landscape"}}};
inline constexpr std::array<Named<bool>, 2> kColumnOrderNames{{{false, "across"}, {true, "down"}}};
inline constexpr std::array<Named<bool>, 2> kBorderWords{{{false, "none"}, {true, "all"}}};
// Declared::type keeps the name itself.
inline constexpr std::array<Named<std::string_view>, 6> kDeclaredTypeNames{{{"text", "text"},
                                                                            {"integer", "integer"},
                                                                            {"decimal", "decimal"},
                                                                            {"currency", "currency"},
                                                                            {"boolean", "boolean"},
                                                                            {"datetime", "datetime"}}};

// The bands of a template under "bands", in report order.
inline constexpr std::array<Named<Band Template::*>, 6> kBandNames{{{&Template::reportHeader, "reportHeader"},
                                                                    {&Template::pageHeader, "pageHeader"},
                                                                    {&Template::columnHeader, "columnHeader"},
                                                                    {&Template::detail, "detail"},
                                                                    {&Template::reportFooter, "reportFooter"},
                                                                    {&Template::pageFooter, "pageFooter"}}};

template <class T, size_t N> std::string_view NameOf(const std::array<Named<T>, N>& table, T value) {
    for (const auto& n : table)
        if (n.value == value) return n.name;
    return table[0].name;
}

template <class T, size_t N>
std::optional<T> ValueNamed(const std::array<Named<T>, N>& table, std::string_view name) {
    for (const auto& n : table)
        if (n.name == name) return n.value;
    return std::nullopt;
}

// "left, center, right or justify"; with quotes: "\"portrait\" or \"landscape\"".
template <class T, size_t N> std::string Choices(const std::array<Named<T>, N>& table, bool quoted = false) {
    std::string out;
    for (size_t i = 0; i < N; ++i) {
        if (i) out += i + 1 == N ? " or " : ", ";
        if (quoted) out += '"';
        out += table[i].name;
        if (quoted) out += '"';
    }
    return out;
}

} // namespace verolux::reports
