#include "agent/reports/design/DesignDump.h"

#include "agent/reports/design/BandRef.h"

#include <charconv>

namespace verolux::reports::design {

namespace {

std::string num(double v) {
    char buf[32];
    auto [p, ec] = std::to_chars(buf, buf + sizeof buf, v);
    return std::string(buf, ec == std::errc() ? p : buf);
}

const char* kindName(ItemKind k) {
    switch (k) {
    case ItemKind::Text:
        return "text";
    case ItemKind::Line:
        return "line";
    case ItemKind::Rect:
        return "rect";
    case ItemKind::Image:
        return "image";
    case ItemKind::Barcode:
        return "barcode";
    }
    return "?";
}

std::string styleName(const Template& t, int s) {
    if (s < 0 || size_t(s) >= t.styles.size()) return "?";
    return t.styles[size_t(s)].name.empty() ? "(inline)" : t.styles[size_t(s)].name;
}

void declared(std::string& o, const char* what, const std::vector<Declared>& list) {
    o += what;
    for (const Declared& d : list) {
        o += ' ' + d.name + ':' + d.type;
        if (!d.format.empty()) o += '|' + d.format;
        if (!d.defaultValue.empty()) o += '=' + d.defaultValue;
    }
    o += '\n';
}

} // namespace

std::string DescribeDesign(const Template& t) {
    std::string o;
    const PageSetup& p = t.page;
    o += "page " + p.paper + (p.landscape ? " landscape " : " portrait ") + num(p.pageWidth()) + "x" +
         num(p.pageHeight()) + " margins " + num(p.marginLeft) + "," + num(p.marginTop) + "," +
         num(p.marginRight) + "," + num(p.marginBottom) + "\n";
    if (!t.title.empty()) o += "title " + t.title + "\n";
    declared(o, "parameters", t.parameters);
    declared(o, "fields", t.fields);
    o += "styles";
    for (const TextStyle& s : t.styles)
        if (!s.name.empty()) o += ' ' + s.name;
    o += '\n';
    for (size_t g = 0; g < t.groups.size(); ++g) {
        const Group& gr = t.groups[g];
        o += "group " + gr.name + " by";
        for (const auto& f : gr.fields)
            o += ' ' + f;
        if (gr.newPage) o += " newPage";
        if (!gr.repeatHeader) o += " noRepeat";
        o += '\n';
    }
    for (BandRef ref : PresentBands(t)) {
        const Band& b = *FindBand(t, ref);
        o += BandPath(ref) + ' ' + num(b.height) + " mm";
        if (b.columns.any()) o += " columns " + std::to_string(b.columns.count);
        if (b.keepTogether) o += " keepTogether";
        if (b.keepWithDetail) o += " keepWithDetail";
        if (b.printAtBottom) o += " printAtBottom";
        o += '\n';
        for (size_t i = 0; i < b.items.size(); ++i) {
            const Item& it = b.items[i];
            o += "  [" + std::to_string(i) + "] " + kindName(it.kind) + ' ' + num(it.x) + ',' + num(it.y) +
                 ' ' + num(it.w) + 'x' + num(it.h) + ' ' + styleName(t, it.style);
            if (it.kind == ItemKind::Barcode) o += ' ' + it.symbology;
            if (it.kind == ItemKind::Text || it.kind == ItemKind::Barcode) o += " \"" + it.text + '"';
            if (it.kind == ItemKind::Image) o += ' ' + std::to_string(it.imageData.size()) + " bytes";
            for (const StyleRule& r : it.rules)
                o += " when(" + r.when + ")" + (r.style.empty() ? "" : " " + r.style) +
                     (r.visible ? "" : " hidden");
            o += '\n';
        }
    }
    return o;
}

} // namespace verolux::reports::design
