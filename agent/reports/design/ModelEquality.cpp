#include "agent/reports/design/ModelEquality.h"

#include <tuple>

namespace verolux::reports::design {

bool Same(const Item& a, const Item& b) {
    return std::tie(a.kind, a.x, a.y, a.w, a.h, a.style, a.text, a.symbology, a.imageData, a.keepAspect,
                    a.rules, a.keys) == std::tie(b.kind, b.x, b.y, b.w, b.h, b.style, b.text, b.symbology,
                                                 b.imageData, b.keepAspect, b.rules, b.keys);
}

bool Same(const Band& a, const Band& b) {
    return std::tie(a.present, a.height, a.columns, a.keepTogether, a.keepWithDetail, a.printAtBottom, a.keys,
                    a.columnKeys) == std::tie(b.present, b.height, b.columns, b.keepTogether,
                                              b.keepWithDetail, b.printAtBottom, b.keys, b.columnKeys) &&
           Same(a.items, b.items);
}

bool Same(const Declared& a, const Declared& b) {
    return std::tie(a.name, a.type, a.format, a.defaultValue) ==
           std::tie(b.name, b.type, b.format, b.defaultValue);
}

bool Same(const Group& a, const Group& b) {
    return std::tie(a.name, a.fields, a.newPage, a.repeatHeader, a.keys) ==
               std::tie(b.name, b.fields, b.newPage, b.repeatHeader, b.keys) &&
           Same(a.header, b.header) && Same(a.footer, b.footer);
}

bool Same(const PageSetup& a, const PageSetup& b) {
    return std::tie(a.paper, a.width, a.height, a.landscape, a.marginLeft, a.marginTop, a.marginRight,
                    a.marginBottom, a.keys, a.marginKeys) ==
           std::tie(b.paper, b.width, b.height, b.landscape, b.marginLeft, b.marginTop, b.marginRight,
                    b.marginBottom, b.keys, b.marginKeys);
}

bool Same(const TextStyle& a, const TextStyle& b) {
    return a == b;
}

bool Same(const std::string& a, const std::string& b) {
    return a == b;
}

} // namespace verolux::reports::design
