#include "agent/reports/model/TemplateFile.h"

#include "common/JsonEscape.h"

#include "agent/reports/model/Base64Data.h"
#include "agent/reports/model/JsonSyntax.h"

#include <simdjson.h>

#include <charconv>
#include <cmath>
#include <cstdio>

namespace verolux::reports {

namespace {

using simdjson::dom::array;
using simdjson::dom::element;
using simdjson::dom::object;

struct LoadFailure {
    std::string message;
};

[[noreturn]] void fail(const std::string& path, const std::string& why) {
    throw LoadFailure{path.empty() ? why : path + ": " + why};
}

std::string join(const std::string& path, std::string_view key) {
    return path.empty() ? std::string(key) : path + "." + std::string(key);
}

std::optional<element> member(object obj, std::string_view key) {
    element e;
    if (obj.at_key(key).get(e) != simdjson::SUCCESS) return std::nullopt;
    return e;
}

object asObject(element e, const std::string& path) {
    object o;
    if (e.get_object().get(o) != simdjson::SUCCESS) fail(path, "expected an object");
    return o;
}

array asArray(element e, const std::string& path) {
    array a;
    if (e.get_array().get(a) != simdjson::SUCCESS) fail(path, "expected an array");
    return a;
}

double asNumber(element e, const std::string& path) {
    double d;
    if (e.get_double().get(d) != simdjson::SUCCESS) fail(path, "expected a number");
    if (!std::isfinite(d)) fail(path, "number out of range");
    return d;
}

std::string asString(element e, const std::string& path) {
    std::string_view s;
    if (e.get_string().get(s) != simdjson::SUCCESS) fail(path, "expected a string");
    return std::string(s);
}

bool asBool(element e, const std::string& path) {
    bool b;
    if (e.get_bool().get(b) != simdjson::SUCCESS) fail(path, "expected true or false");
    return b;
}

void readNumber(object o, const std::string& path, std::string_view key, double& out, double min = -1e6,
                double max = 1e6) {
    if (auto e = member(o, key)) {
        out = asNumber(*e, join(path, key));
        if (out < min || out > max) fail(join(path, key), "value out of range");
    }
}
void readString(object o, const std::string& path, std::string_view key, std::string& out) {
    if (auto e = member(o, key)) out = asString(*e, join(path, key));
}
void readBool(object o, const std::string& path, std::string_view key, bool& out) {
    if (auto e = member(o, key)) out = asBool(*e, join(path, key));
}

uint32_t parseColor(const std::string& s, const std::string& path) {
    if (s.empty() || s == "none" || s == "transparent") return 0;
    auto hex = [&](std::string_view digits) {
        uint32_t v = 0;
        auto [p, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), v, 16);
        if (ec != std::errc() || p != digits.data() + digits.size()) fail(path, "bad colour \"" + s + "\"");
        return v;
    };
    if (s[0] == '#' && s.size() == 7) return 0xFF000000u | hex(std::string_view(s).substr(1));
    if (s[0] == '#' && s.size() == 9) return hex(std::string_view(s).substr(1));
    fail(path, "bad colour \"" + s + "\" (use #RRGGBB or #AARRGGBB)");
}

class Reader {
  public:
    Template tmpl;

    void document(object root) {
        auto fmt = member(root, "format");
        if (!fmt) fail("", "missing key \"format\" (not a Verolux report template)");
        if (asString(*fmt, "format") != "verolux-report")
            fail("format", "not a Verolux report template (expected \"verolux-report\")");
        auto ver = member(root, "version");
        if (!ver) fail("", "missing key \"version\"");
        double v = asNumber(*ver, "version");
        if (v != kTemplateFormatVersion)
            fail("version", "unsupported template version " + formatNumber(v) +
                                " (this engine reads version " + std::to_string(kTemplateFormatVersion) +
                                ")");

        readString(root, "", "title", tmpl.title);
        readString(root, "", "printer", tmpl.printer);
        if (auto e = member(root, "page")) page(asObject(*e, "page"));
        if (auto e = member(root, "styles")) styles(asObject(*e, "styles"));
        if (auto e = member(root, "parameters"))
            declared(asArray(*e, "parameters"), "parameters", tmpl.parameters);
        if (auto e = member(root, "fields")) declared(asArray(*e, "fields"), "fields", tmpl.fields);

        auto b = member(root, "bands");
        if (!b) fail("", "missing key \"bands\"");
        object bands = asObject(*b, "bands");
        band(bands, "bands", "reportHeader", tmpl.reportHeader);
        band(bands, "bands", "pageHeader", tmpl.pageHeader);
        band(bands, "bands", "columnHeader", tmpl.columnHeader);
        band(bands, "bands", "detail", tmpl.detail);
        if (auto d = member(bands, "detail")) {
            if (auto c = member(asObject(*d, "bands.detail"), "columns")) columns(*c, "bands.detail.columns");
        }
        band(bands, "bands", "reportFooter", tmpl.reportFooter);
        band(bands, "bands", "pageFooter", tmpl.pageFooter);
        if (auto e = member(root, "groups")) groups(asArray(*e, "groups"));

        double usable = tmpl.page.pageHeight() - tmpl.page.marginTop - tmpl.page.marginBottom;
        if (tmpl.page.pageWidth() - tmpl.page.marginLeft - tmpl.page.marginRight < 1 || usable < 1)
            fail("page", "margins leave no room on the page");
        double fixed = (tmpl.pageHeader.present ? tmpl.pageHeader.height : 0) +
                       (tmpl.pageFooter.present ? tmpl.pageFooter.height : 0) +
                       (tmpl.columnHeader.present ? tmpl.columnHeader.height : 0);
        if (fixed >= usable)
            fail("bands", "page header, column header and page footer leave no room for rows");
    }

    static std::string formatNumber(double v) {
        char buf[64];
        auto [p, ec] = std::to_chars(buf, buf + sizeof buf, v);
        return std::string(buf, ec == std::errc() ? p : buf);
    }

  private:
    void page(object o) {
        auto& p = tmpl.page;
        readString(o, "page", "paper", p.paper);
        if (p.paper != "Custom" && !PaperSize(p.paper, p.width, p.height))
            fail("page.paper", "unknown paper \"" + p.paper + "\" (A3, A4, A5, B5, Letter, Legal or Custom)");
        if (p.paper == "Custom") {
            if (!member(o, "width") || !member(o, "height"))
                fail("page", "a Custom paper needs \"width\" and \"height\"");
            readNumber(o, "page", "width", p.width, 10, 5000);
            readNumber(o, "page", "height", p.height, 10, 5000);
        }
        std::string orientation = "portrait";
        readString(o, "page", "orientation", orientation);
        if (orientation != "portrait" && orientation != "landscape")
            fail("page.orientation", "expected \"portrait\" or \"landscape\"");
        p.landscape = orientation == "landscape";
        if (auto m = member(o, "margins")) {
            object mo = asObject(*m, "page.margins");
            readNumber(mo, "page.margins", "left", p.marginLeft, 0, 1000);
            readNumber(mo, "page.margins", "top", p.marginTop, 0, 1000);
            readNumber(mo, "page.margins", "right", p.marginRight, 0, 1000);
            readNumber(mo, "page.margins", "bottom", p.marginBottom, 0, 1000);
        }
    }

    void columns(element e, const std::string& path) {
        object o = asObject(e, path);
        Columns& c = tmpl.detail.columns;
        double count = 1;
        readNumber(o, path, "count", count, 1, 100);
        if (count != std::floor(count)) fail(join(path, "count"), "expected a whole number");
        c.count = static_cast<int>(count);
        readNumber(o, path, "width", c.width, 0, 5000);
        readNumber(o, path, "spacing", c.spacing, 0, 5000);
        std::string order = "across";
        readString(o, path, "order", order);
        if (order != "across" && order != "down")
            fail(join(path, "order"), "expected \"across\" or \"down\"");
        c.down = order == "down";
        const PageSetup& p = tmpl.page;
        const double room = p.pageWidth() - p.marginLeft - p.marginRight;
        const double width = ColumnWidth(c, p);
        if (width <= 0 || c.count * width + (c.count - 1) * c.spacing > room + 0.001)
            fail(path, "the columns do not fit between the margins (" + formatNumber(room) + " mm)");
    }

    void styles(object o) {
        // Named styles may build on each other through "base"; resolve in file order, bases first.
        for (auto field : o) {
            std::string name(field.key);
            std::string path = "styles." + name;
            if (name.empty()) fail("styles", "a style needs a name");
            TextStyle st =
                style(field.value, path, name == "default" ? TextStyle(tmpl.styles[0]) : tmpl.styles[0]);
            st.name = name;
            int existing = tmpl.findStyle(name);
            if (existing >= 0)
                tmpl.styles[size_t(existing)] = st;
            else
                tmpl.styles.push_back(st);
        }
    }

    TextStyle style(element e, const std::string& path, TextStyle st) {
        object o = asObject(e, path);
        if (auto b = member(o, "base")) {
            std::string baseName = asString(*b, join(path, "base"));
            int idx = tmpl.findStyle(baseName);
            if (idx < 0) fail(join(path, "base"), "unknown style \"" + baseName + "\" (define it earlier)");
            st = tmpl.styles[size_t(idx)];
        }
        st.name.clear();
        readString(o, path, "font", st.fontFamily);
        readNumber(o, path, "size", st.fontSize, 1, 500);
        readBool(o, path, "bold", st.bold);
        readBool(o, path, "italic", st.italic);
        readBool(o, path, "underline", st.underline);
        if (auto c = member(o, "color"))
            st.color = parseColor(asString(*c, join(path, "color")), join(path, "color"));
        if (auto c = member(o, "background"))
            st.background = parseColor(asString(*c, join(path, "background")), join(path, "background"));
        if (auto a = member(o, "align")) {
            std::string s = asString(*a, join(path, "align"));
            if (s == "left")
                st.hAlign = HAlign::Left;
            else if (s == "center")
                st.hAlign = HAlign::Center;
            else if (s == "right")
                st.hAlign = HAlign::Right;
            else if (s == "justify")
                st.hAlign = HAlign::Justify;
            else
                fail(join(path, "align"), "expected left, center, right or justify");
        }
        if (auto a = member(o, "valign")) {
            std::string s = asString(*a, join(path, "valign"));
            if (s == "top")
                st.vAlign = VAlign::Top;
            else if (s == "middle")
                st.vAlign = VAlign::Middle;
            else if (s == "bottom")
                st.vAlign = VAlign::Bottom;
            else
                fail(join(path, "valign"), "expected top, middle or bottom");
        }
        readBool(o, path, "wrap", st.wordWrap);
        readBool(o, path, "canGrow", st.canGrow);
        readNumber(o, path, "padding", st.padding, 0, 100);
        readString(o, path, "format", st.format);
        if (auto b = member(o, "borders")) {
            std::string bp = join(path, "borders");
            std::string_view all;
            if (b->get_string().get(all) == simdjson::SUCCESS) {
                bool on = all == "all";
                if (!on && all != "none") fail(bp, "expected \"all\", \"none\" or an object");
                st.borders.left = st.borders.top = st.borders.right = st.borders.bottom = on;
            } else {
                object bo = asObject(*b, bp);
                readBool(bo, bp, "left", st.borders.left);
                readBool(bo, bp, "top", st.borders.top);
                readBool(bo, bp, "right", st.borders.right);
                readBool(bo, bp, "bottom", st.borders.bottom);
                readNumber(bo, bp, "width", st.borders.width, 0, 20);
                if (auto c = member(bo, "color"))
                    st.borders.color = parseColor(asString(*c, join(bp, "color")), join(bp, "color"));
            }
        }
        return st;
    }

    void declared(array a, const std::string& path, std::vector<Declared>& out) {
        size_t i = 0;
        for (element e : a) {
            std::string p = path + "[" + std::to_string(i++) + "]";
            object o = asObject(e, p);
            Declared d;
            auto n = member(o, "name");
            if (!n) fail(p, "missing key \"name\"");
            d.name = asString(*n, join(p, "name"));
            if (d.name.empty()) fail(join(p, "name"), "empty name");
            readString(o, p, "type", d.type);
            static const char* types[] = {"text", "integer", "decimal", "currency", "boolean", "datetime"};
            bool known = false;
            for (const char* t : types)
                known = known || d.type == t;
            if (!known)
                fail(join(p, "type"), "unknown type \"" + d.type +
                                          "\" (text, integer, decimal, currency, boolean or datetime)");
            readString(o, p, "format", d.format);
            readString(o, p, "default", d.defaultValue);
            for (const auto& other : out)
                if (other.name == d.name) fail(join(p, "name"), "\"" + d.name + "\" declared twice");
            out.push_back(std::move(d));
        }
    }

    void band(object bands, const std::string& path, std::string_view key, Band& out) {
        auto e = member(bands, key);
        if (!e) return;
        bandBody(*e, join(path, key), out);
    }

    void bandBody(element e, const std::string& path, Band& out) {
        object o = asObject(e, path);
        out.present = true;
        auto h = member(o, "height");
        if (!h) fail(path, "missing key \"height\"");
        out.height = asNumber(*h, join(path, "height"));
        if (out.height < 0 || out.height > 5000) fail(join(path, "height"), "value out of range");
        if (auto items = member(o, "items")) {
            size_t i = 0;
            for (element ie : asArray(*items, join(path, "items")))
                out.items.push_back(item(ie, join(path, "items") + "[" + std::to_string(i++) + "]"));
        }
    }

    Item item(element e, const std::string& path) {
        object o = asObject(e, path);
        Item it;
        auto t = member(o, "type");
        if (!t) fail(path, "missing key \"type\"");
        std::string type = asString(*t, join(path, "type"));
        if (type == "text")
            it.kind = ItemKind::Text;
        else if (type == "line")
            it.kind = ItemKind::Line;
        else if (type == "rect")
            it.kind = ItemKind::Rect;
        else if (type == "image")
            it.kind = ItemKind::Image;
        else if (type == "barcode")
            it.kind = ItemKind::Barcode;
        else
            fail(join(path, "type"),
                 "unknown item type \"" + type + "\" (text, line, rect, image or barcode)");
        for (const char* k : {"x", "y", "w", "h"}) {
            if (!member(o, k)) fail(path, std::string("missing key \"") + k + "\"");
        }
        double lo = it.kind == ItemKind::Line ? -5000 : 0;
        readNumber(o, path, "x", it.x, 0, 5000);
        readNumber(o, path, "y", it.y, 0, 5000);
        readNumber(o, path, "w", it.w, lo, 5000);
        readNumber(o, path, "h", it.h, lo, 5000);
        if (auto s = member(o, "style")) {
            std::string_view name;
            if (s->get_string().get(name) == simdjson::SUCCESS) {
                int idx = tmpl.findStyle(std::string(name));
                if (idx < 0) fail(join(path, "style"), "unknown style \"" + std::string(name) + "\"");
                it.style = idx;
            } else {
                TextStyle st = style(*s, join(path, "style"), tmpl.styles[0]);
                tmpl.styles.push_back(st);
                it.style = static_cast<int>(tmpl.styles.size() - 1);
            }
        }
        readString(o, path, "text", it.text);
        if (it.kind == ItemKind::Barcode) {
            readString(o, path, "data", it.text);
            auto s = member(o, "symbology");
            if (!s) fail(path, "missing key \"symbology\"");
            it.symbology = asString(*s, join(path, "symbology"));
        }
        if (it.kind == ItemKind::Image) {
            auto d = member(o, "data");
            if (!d) fail(path, "missing key \"data\"");
            auto bytes = DecodeBase64(asString(*d, join(path, "data")));
            if (!bytes) fail(join(path, "data"), "not valid Base64");
            it.imageData = std::move(*bytes);
            readBool(o, path, "keepAspect", it.keepAspect);
        }
        return it;
    }

    void groups(array a) {
        size_t i = 0;
        for (element e : a) {
            std::string p = "groups[" + std::to_string(i++) + "]";
            object o = asObject(e, p);
            Group g;
            readString(o, p, "name", g.name);
            auto by = member(o, "by");
            if (!by) fail(p, "missing key \"by\"");
            std::string_view single;
            if (by->get_string().get(single) == simdjson::SUCCESS) {
                g.fields.emplace_back(single);
            } else {
                size_t j = 0;
                for (element f : asArray(*by, join(p, "by")))
                    g.fields.push_back(asString(f, join(p, "by") + "[" + std::to_string(j++) + "]"));
            }
            if (g.fields.empty()) fail(join(p, "by"), "a group needs at least one field");
            if (g.name.empty()) g.name = g.fields.front();
            readBool(o, p, "newPage", g.newPage);
            readBool(o, p, "repeatHeader", g.repeatHeader);
            if (auto h = member(o, "header")) bandBody(*h, join(p, "header"), g.header);
            if (auto f = member(o, "footer")) bandBody(*f, join(p, "footer"), g.footer);
            tmpl.groups.push_back(std::move(g));
        }
    }
};

// ---- writing ----

void putString(std::string& out, std::string_view s) {
    verolux::AppendJsonString(out, s);
}

void putNumber(std::string& out, double v) {
    out += Reader::formatNumber(v);
}

std::string colorText(uint32_t c) {
    char buf[16];
    if ((c >> 24) == 0xFF)
        std::snprintf(buf, sizeof buf, "#%06X", c & 0xFFFFFF);
    else if (c == 0)
        return "none";
    else
        std::snprintf(buf, sizeof buf, "#%08X", c);
    return buf;
}

class Writer {
  public:
    explicit Writer(const Template& t) : m_t(t) {}

    std::string run() {
        std::string& o = m_out;
        o += "{\n  \"format\": \"verolux-report\",\n  \"version\": ";
        o += std::to_string(kTemplateFormatVersion);
        o += ",\n  \"title\": ";
        putString(o, m_t.title);
        o += ",\n  \"printer\": ";
        putString(o, m_t.printer);
        const auto& p = m_t.page;
        o += ",\n  \"page\": {\"paper\": ";
        putString(o, p.paper);
        if (p.paper == "Custom") {
            o += ", \"width\": ";
            putNumber(o, p.width);
            o += ", \"height\": ";
            putNumber(o, p.height);
        }
        o += ", \"orientation\": ";
        o += p.landscape ? "\"landscape\"" : "\"portrait\"";
        o += ", \"margins\": {\"left\": ";
        putNumber(o, p.marginLeft);
        o += ", \"top\": ";
        putNumber(o, p.marginTop);
        o += ", \"right\": ";
        putNumber(o, p.marginRight);
        o += ", \"bottom\": ";
        putNumber(o, p.marginBottom);
        o += "}},\n  \"styles\": {";
        bool first = true;
        for (const auto& st : m_t.styles) {
            if (st.name.empty()) continue;
            o += first ? "\n    " : ",\n    ";
            first = false;
            putString(o, st.name);
            o += ": ";
            style(st);
        }
        o += "\n  },\n  \"parameters\": ";
        declared(m_t.parameters, true);
        o += ",\n  \"fields\": ";
        declared(m_t.fields, false);
        o += ",\n  \"bands\": {";
        first = true;
        auto namedBand = [&](const char* key, const Band& b) {
            if (!b.present) return;
            o += first ? "\n    " : ",\n    ";
            first = false;
            putString(o, key);
            o += ": ";
            band(b, "    ");
        };
        namedBand("reportHeader", m_t.reportHeader);
        namedBand("pageHeader", m_t.pageHeader);
        namedBand("columnHeader", m_t.columnHeader);
        namedBand("detail", m_t.detail);
        namedBand("reportFooter", m_t.reportFooter);
        namedBand("pageFooter", m_t.pageFooter);
        o += "\n  },\n  \"groups\": [";
        for (size_t i = 0; i < m_t.groups.size(); ++i) {
            const Group& g = m_t.groups[i];
            o += i ? ",\n    {" : "\n    {";
            o += "\"name\": ";
            putString(o, g.name);
            o += ", \"by\": [";
            for (size_t j = 0; j < g.fields.size(); ++j) {
                if (j) o += ", ";
                putString(o, g.fields[j]);
            }
            o += "], \"newPage\": ";
            o += g.newPage ? "true" : "false";
            o += ", \"repeatHeader\": ";
            o += g.repeatHeader ? "true" : "false";
            if (g.header.present) {
                o += ",\n      \"header\": ";
                band(g.header, "      ");
            }
            if (g.footer.present) {
                o += ",\n      \"footer\": ";
                band(g.footer, "      ");
            }
            o += "}";
        }
        o += m_t.groups.empty() ? "]\n}\n" : "\n  ]\n}\n";
        return std::move(m_out);
    }

  private:
    void style(const TextStyle& st) {
        std::string& o = m_out;
        o += "{\"font\": ";
        putString(o, st.fontFamily);
        o += ", \"size\": ";
        putNumber(o, st.fontSize);
        if (st.bold) o += ", \"bold\": true";
        if (st.italic) o += ", \"italic\": true";
        if (st.underline) o += ", \"underline\": true";
        o += ", \"color\": ";
        putString(o, colorText(st.color));
        if (st.background) {
            o += ", \"background\": ";
            putString(o, colorText(st.background));
        }
        static const char* h[] = {"left", "center", "right", "justify"};
        static const char* v[] = {"top", "middle", "bottom"};
        o += ", \"align\": \"";
        o += h[int(st.hAlign)];
        o += "\", \"valign\": \"";
        o += v[int(st.vAlign)];
        o += "\"";
        if (st.wordWrap) o += ", \"wrap\": true";
        if (st.canGrow) o += ", \"canGrow\": true";
        o += ", \"padding\": ";
        putNumber(o, st.padding);
        if (!st.format.empty()) {
            o += ", \"format\": ";
            putString(o, st.format);
        }
        const Borders& b = st.borders;
        if (b.any()) {
            o += ", \"borders\": {\"left\": ";
            o += b.left ? "true" : "false";
            o += ", \"top\": ";
            o += b.top ? "true" : "false";
            o += ", \"right\": ";
            o += b.right ? "true" : "false";
            o += ", \"bottom\": ";
            o += b.bottom ? "true" : "false";
            o += ", \"width\": ";
            putNumber(o, b.width);
            o += ", \"color\": ";
            putString(o, colorText(b.color));
            o += "}";
        } else if (b.width != Borders{}.width || b.color != Borders{}.color) {
            // Lines take their pen from the border settings even when no side is drawn.
            o += ", \"borders\": {\"width\": ";
            putNumber(o, b.width);
            o += ", \"color\": ";
            putString(o, colorText(b.color));
            o += "}";
        }
        o += "}";
    }

    void declared(const std::vector<Declared>& list, bool withDefault) {
        std::string& o = m_out;
        if (list.empty()) {
            o += "[]";
            return;
        }
        o += "[";
        for (size_t i = 0; i < list.size(); ++i) {
            o += i ? ",\n    {\"name\": " : "\n    {\"name\": ";
            putString(o, list[i].name);
            o += ", \"type\": ";
            putString(o, list[i].type);
            if (!list[i].format.empty()) {
                o += ", \"format\": ";
                putString(o, list[i].format);
            }
            if (withDefault && !list[i].defaultValue.empty()) {
                o += ", \"default\": ";
                putString(o, list[i].defaultValue);
            }
            o += "}";
        }
        o += "\n  ]";
    }

    void band(const Band& b, const std::string& indent) {
        std::string& o = m_out;
        o += "{\"height\": ";
        putNumber(o, b.height);
        if (b.columns.any()) {
            o += ", \"columns\": {\"count\": ";
            o += std::to_string(b.columns.count);
            if (b.columns.width > 0) {
                o += ", \"width\": ";
                putNumber(o, b.columns.width);
            }
            o += ", \"spacing\": ";
            putNumber(o, b.columns.spacing);
            o += b.columns.down ? ", \"order\": \"down\"}" : ", \"order\": \"across\"}";
        }
        o += ", \"items\": [";
        for (size_t i = 0; i < b.items.size(); ++i) {
            o += i ? ",\n" : "\n";
            o += indent + "  ";
            item(b.items[i]);
        }
        o += b.items.empty() ? "]}" : "\n" + indent + "]}";
    }

    void item(const Item& it) {
        std::string& o = m_out;
        static const char* kinds[] = {"text", "line", "rect", "image", "barcode"};
        o += "{\"type\": \"";
        o += kinds[int(it.kind)];
        o += "\", \"x\": ";
        putNumber(o, it.x);
        o += ", \"y\": ";
        putNumber(o, it.y);
        o += ", \"w\": ";
        putNumber(o, it.w);
        o += ", \"h\": ";
        putNumber(o, it.h);
        o += ", \"style\": ";
        const bool valid = it.style >= 0 && size_t(it.style) < m_t.styles.size();
        const TextStyle& st = m_t.styles[valid ? size_t(it.style) : 0];
        if (st.name.empty())
            style(st);
        else
            putString(o, st.name);
        if (it.kind == ItemKind::Text) {
            o += ", \"text\": ";
            putString(o, it.text);
        } else if (it.kind == ItemKind::Barcode) {
            o += ", \"symbology\": ";
            putString(o, it.symbology);
            o += ", \"data\": ";
            putString(o, it.text);
        } else if (it.kind == ItemKind::Image) {
            o += ", \"keepAspect\": ";
            o += it.keepAspect ? "true" : "false";
            o += ", \"data\": ";
            putString(o, EncodeBase64(it.imageData));
        }
        o += "}";
    }

    const Template& m_t;
    std::string m_out;
};

} // namespace

TemplateLoadResult ParseTemplate(std::string_view json) {
    TemplateLoadResult result;
    simdjson::dom::parser parser;
    simdjson::padded_string padded(json);
    element root;
    auto err = parser.parse(padded).get(root);
    if (err != simdjson::SUCCESS) {
        JsonSyntaxError where;
        if (json.find_first_not_of(" \t\r\n") == std::string_view::npos)
            result.error = "the file is empty";
        else if (!CheckJsonSyntax(json, where))
            result.error = "not valid JSON: line " + std::to_string(where.line) + ", column " +
                           std::to_string(where.column) + ": " + where.reason;
        else
            result.error = std::string("not valid JSON: ") + simdjson::error_message(err);
        return result;
    }
    try {
        Reader reader;
        object o;
        if (root.get_object().get(o) != simdjson::SUCCESS) fail("", "the template must be a JSON object");
        reader.document(o);
        result.tmpl = std::move(reader.tmpl);
    } catch (const LoadFailure& f) {
        result.error = f.message;
    }
    return result;
}

std::string WriteTemplate(const Template& tmpl) {
    return Writer(tmpl).run();
}

} // namespace verolux::reports
