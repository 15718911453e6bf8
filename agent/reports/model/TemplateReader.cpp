#include "agent/reports/model/TemplateFile.h"

#include "agent/reports/model/JsonOut.h"
#include "agent/reports/model/JsonSyntax.h"
#include "agent/reports/model/StyleKeys.h"
#include "agent/reports/model/TemplateExpressions.h"
#include "agent/reports/model/TemplateNames.h"
#include "agent/reports/model/TemplateWriter.h"
#include "common/Base64.h"

#include <simdjson.h>

#include <charconv>
#include <cmath>
#include <unordered_map>
#include <unordered_set>

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

std::string indexed(const std::string& path, size_t i) {
    return path + "[" + std::to_string(i) + "]";
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

template <class T, size_t N>
T asNamed(element e, const std::string& path, const std::array<Named<T>, N>& table,
          const std::string& expected) {
    auto v = ValueNamed(table, asString(e, path));
    if (!v) fail(path, expected);
    return *v;
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

// One JSON object being read. It notes which keys the engine reads, so that keys() can tell the writer the
// file's order, the keys the engine does not know and the text of the values it read.
class ObjectReader {
  public:
    ObjectReader(element e, std::string path) : m_obj(asObject(e, path)), m_path(std::move(path)) {}

    const std::string& path() const { return m_path; }
    std::string at(std::string_view key) const { return join(m_path, key); }

    // A value read here; its text is kept in case the writer would spell it differently.
    std::optional<element> get(std::string_view key) { return find(key, true); }
    // An object or array read with its own FileKeys.
    std::optional<element> child(std::string_view key) { return find(key, false); }
    element require(std::string_view key) {
        auto e = get(key);
        if (!e) fail(m_path, "missing key \"" + std::string(key) + "\"");
        return *e;
    }

    void number(std::string_view key, double& out, double min = -1e6, double max = 1e6) {
        if (auto e = get(key)) {
            out = asNumber(*e, at(key));
            if (out < min || out > max) fail(at(key), "value out of range");
        }
    }
    void string(std::string_view key, std::string& out) {
        if (auto e = get(key)) out = asString(*e, at(key));
    }
    void boolean(std::string_view key, bool& out) {
        if (auto e = get(key)) out = asBool(*e, at(key));
    }

    FileKeys keys() const {
        FileKeys out;
        out.keys.reserve(m_obj.size());
        std::unordered_set<std::string_view> seen;
        for (auto field : m_obj) {
            if (!seen.insert(field.key).second) continue; // a repeated key: the engine reads the first
            FileKey k;
            k.name = std::string(field.key);
            const Read* r = read(field.key);
            k.known = r != nullptr;
            if (!r || r->keepText) k.text = simdjson::minify(field.value);
            out.keys.push_back(std::move(k));
        }
        return out;
    }

  private:
    struct Read {
        std::string_view key;
        bool keepText;
    };
    const Read* read(std::string_view key) const {
        for (const Read& r : m_read)
            if (r.key == key) return &r;
        return nullptr;
    }
    Read* read(std::string_view key) {
        for (Read& r : m_read)
            if (r.key == key) return &r;
        return nullptr;
    }
    std::optional<element> find(std::string_view key, bool keepText) {
        element e;
        if (m_obj.at_key(key).get(e) != simdjson::SUCCESS) return std::nullopt;
        if (Read* r = read(key))
            r->keepText = keepText;
        else
            m_read.push_back(Read{key, keepText});
        return e;
    }

    object m_obj;
    std::string m_path;
    std::vector<Read> m_read;
};

class Reader {
  public:
    Template tmpl;

    void document(element rootElement) {
        object root;
        if (rootElement.get_object().get(root) != simdjson::SUCCESS)
            fail("", "the template must be a JSON object");
        ObjectReader r(rootElement, "");
        auto fmt = r.get("format");
        if (!fmt) fail("", "missing key \"format\" (not a Verolux report template)");
        if (asString(*fmt, "format") != "verolux-report")
            fail("format", "not a Verolux report template (expected \"verolux-report\")");
        auto ver = r.get("version");
        if (!ver) fail("", "missing key \"version\"");
        double v = asNumber(*ver, "version");
        if (v != kTemplateFormatVersion)
            fail("version", "unsupported template version " + FormatNumber(v) +
                                " (this engine reads version " + std::to_string(kTemplateFormatVersion) +
                                ")");

        r.string("title", tmpl.title);
        r.string("printer", tmpl.printer);
        if (auto e = r.child("page")) page(*e);
        m_stylePaths.push_back("styles.default");
        if (auto e = r.child("styles")) styles(*e);
        if (auto e = r.child("parameters")) declared(*e, "parameters", tmpl.parameters);
        if (auto e = r.child("fields")) declared(*e, "fields", tmpl.fields);
        auto b = r.child("bands");
        if (!b) fail("", "missing key \"bands\"");
        bands(*b);
        if (auto e = r.child("groups")) groups(*e);
        tmpl.keys = r.keys();

        if (int bad = ResolveStyles(tmpl); bad >= 0)
            fail(join(m_stylePaths[size_t(bad)], "base"), "the base styles build on each other in a circle");
        double usable = tmpl.page.pageHeight() - tmpl.page.marginTop - tmpl.page.marginBottom;
        if (tmpl.page.pageWidth() - tmpl.page.marginLeft - tmpl.page.marginRight < 1 || usable < 1)
            fail("page", "margins leave no room on the page");
        double fixed = (tmpl.pageHeader.present ? tmpl.pageHeader.height : 0) +
                       (tmpl.pageFooter.present ? tmpl.pageFooter.height : 0) +
                       (tmpl.columnHeader.present ? tmpl.columnHeader.height : 0);
        if (fixed >= usable)
            fail("bands", "page header, column header and page footer leave no room for rows");
    }

  private:
    void page(element e) {
        ObjectReader r(e, "page");
        auto& p = tmpl.page;
        r.string("paper", p.paper);
        if (p.paper != "Custom" && !PaperSize(p.paper, p.width, p.height))
            fail("page.paper", "unknown paper \"" + p.paper + "\" (A3, A4, A5, B5, Letter, Legal or Custom)");
        if (p.paper == "Custom") {
            if (!r.get("width") || !r.get("height"))
                fail("page", "a Custom paper needs \"width\" and \"height\"");
            r.number("width", p.width, 10, 5000);
            r.number("height", p.height, 10, 5000);
        }
        if (auto o = r.get("orientation"))
            p.landscape = asNamed(*o, "page.orientation", kOrientationNames,
                                  "expected " + Choices(kOrientationNames, true));
        if (auto m = r.child("margins")) {
            ObjectReader mr(*m, "page.margins");
            mr.number("left", p.marginLeft, 0, 1000);
            mr.number("top", p.marginTop, 0, 1000);
            mr.number("right", p.marginRight, 0, 1000);
            mr.number("bottom", p.marginBottom, 0, 1000);
            p.marginKeys = mr.keys();
        }
        p.keys = r.keys();
    }

    // Named styles; a base may be any style of the file. Values are resolved once everything is read.
    void styles(element e) {
        object o = asObject(e, "styles");
        for (auto field : o) {
            std::string name(field.key);
            std::string path = "styles." + name;
            if (name.empty()) fail("styles", "a style needs a name");
            TextStyle st = style(field.value, path);
            st.name = name;
            auto [at, added] = m_styleIndex.emplace(name, tmpl.styles.size());
            if (added) {
                tmpl.styles.push_back(std::move(st));
                m_stylePaths.push_back(path);
                tmpl.styleKeys.keys.push_back(FileKey{name, true, {}, {}});
            } else {
                // A name given twice: the later definition wins, at the place of the first.
                tmpl.styles[at->second] = std::move(st);
                if (!tmpl.styleKeys.has(name)) tmpl.styleKeys.keys.push_back(FileKey{name, true, {}, {}});
            }
        }
        for (size_t i = 1; i < tmpl.styles.size(); ++i)
            checkBase(tmpl.styles[i], m_stylePaths[i]);
        checkBase(tmpl.styles[0], m_stylePaths[0]);
    }

    void checkBase(const TextStyle& st, const std::string& path) {
        if (!st.base.empty() && !m_styleIndex.count(st.base))
            fail(join(path, "base"), "unknown style \"" + st.base + "\"");
    }

    TextStyle style(element e, const std::string& path) {
        ObjectReader r(e, path);
        TextStyle st = BuiltInStyle();
        r.string("base", st.base);
        for (const StyleKeyInfo& key : kStyleKeys)
            if (!key.inBorders) styleKey(key, r, st);
        if (auto b = r.get("borders")) borders(*b, r.at("borders"), st, r);
        st.keys = r.keys();
        return st;
    }

    // A key the style gives itself, as opposed to one it takes from its base.
    void styleKey(const StyleKeyInfo& key, ObjectReader& r, TextStyle& st) {
        auto e = r.get(key.name);
        if (!e) return;
        st.own |= key.bit;
        VisitStyleKey(key, st, [&](auto& v) {
            using T = std::decay_t<decltype(v)>;
            if constexpr (std::is_same_v<T, std::string>)
                r.string(key.name, v);
            else if constexpr (std::is_same_v<T, double>)
                r.number(key.name, v, key.min, key.max);
            else if constexpr (std::is_same_v<T, bool>)
                r.boolean(key.name, v);
            else if constexpr (std::is_same_v<T, uint32_t>)
                v = parseColor(asString(*e, r.at(key.name)), r.at(key.name));
            else if constexpr (std::is_same_v<T, HAlign>)
                v = asNamed(*e, r.at(key.name), kAlignNames, "expected " + Choices(kAlignNames));
            else
                v = asNamed(*e, r.at(key.name), kVAlignNames, "expected " + Choices(kVAlignNames));
        });
    }

    // "all", "none", or an object of the sides and the pen.
    void borders(element e, const std::string& path, TextStyle& st, ObjectReader& styleReader) {
        Borders& b = st.borders;
        std::string_view word;
        if (e.get_string().get(word) == simdjson::SUCCESS) {
            auto on = ValueNamed(kBorderWords, word);
            if (!on) fail(path, "expected \"all\", \"none\" or an object");
            b.left = b.top = b.right = b.bottom = *on;
            st.own |= kStyleBorderSides;
            return;
        }
        styleReader.child("borders");
        ObjectReader r(e, path);
        for (const StyleKeyInfo& key : kStyleKeys)
            if (key.inBorders) styleKey(key, r, st);
        st.borderKeys = r.keys();
    }

    void declared(element e, const std::string& path, std::vector<Declared>& out) {
        size_t i = 0;
        std::unordered_map<std::string, size_t> seen;
        for (element de : asArray(e, path)) {
            ObjectReader r(de, indexed(path, i++));
            Declared d;
            d.name = asString(r.require("name"), r.at("name"));
            if (d.name.empty()) fail(r.at("name"), "empty name");
            r.string("type", d.type);
            if (!ValueNamed(kDeclaredTypeNames, d.type))
                fail(r.at("type"), "unknown type \"" + d.type + "\" (" + Choices(kDeclaredTypeNames) + ")");
            r.string("format", d.format);
            r.string("default", d.defaultValue);
            if (!seen.emplace(d.name, out.size()).second)
                fail(r.at("name"), "\"" + d.name + "\" declared twice");
            d.keys = r.keys();
            out.push_back(std::move(d));
        }
    }

    void bands(element e) {
        ObjectReader r(e, "bands");
        for (const auto& b : kBandNames)
            if (auto be = r.child(b.name))
                band(*be, r.at(b.name), tmpl.*(b.value), b.value == &Template::detail);
        tmpl.bandKeys = r.keys();
    }

    void band(element e, const std::string& path, Band& out, bool detail) {
        ObjectReader r(e, path);
        out.present = true;
        out.height = asNumber(r.require("height"), r.at("height"));
        if (out.height < 0 || out.height > 5000) fail(r.at("height"), "value out of range");
        if (detail) {
            if (auto c = r.child("columns")) columns(*c, r.at("columns"), out);
        }
        r.boolean("keepTogether", out.keepTogether);
        r.boolean("keepWithDetail", out.keepWithDetail);
        r.boolean("printAtBottom", out.printAtBottom);
        if (auto items = r.child("items")) {
            size_t i = 0;
            const std::string itemsPath = r.at("items");
            for (element ie : asArray(*items, itemsPath))
                out.items.push_back(item(ie, indexed(itemsPath, i++)));
        }
        out.keys = r.keys();
    }

    void columns(element e, const std::string& path, Band& band) {
        ObjectReader r(e, path);
        Columns& c = band.columns;
        double count = 1;
        r.number("count", count, 1, 100);
        if (count != std::floor(count)) fail(r.at("count"), "expected a whole number");
        c.count = static_cast<int>(count);
        r.number("width", c.width, 0, 5000);
        r.number("spacing", c.spacing, 0, 5000);
        if (auto o = r.get("order"))
            c.down =
                asNamed(*o, r.at("order"), kColumnOrderNames, "expected " + Choices(kColumnOrderNames, true));
        band.columnKeys = r.keys();
        const PageSetup& p = tmpl.page;
        const double room = p.pageWidth() - p.marginLeft - p.marginRight;
        const double width = ColumnWidth(c, p);
        if (width <= 0 || c.count * width + (c.count - 1) * c.spacing > room + 0.001)
            fail(path, "the columns do not fit between the margins (" + FormatNumber(room) + " mm)");
    }

    Item item(element e, const std::string& path) {
        ObjectReader r(e, path);
        Item it;
        auto type = r.get("type");
        if (!type) fail(path, "missing key \"type\"");
        it.kind = asNamed(*type, r.at("type"), kItemKindNames,
                          "unknown item type \"" + asString(*type, r.at("type")) + "\" (" +
                              Choices(kItemKindNames) + ")");
        for (const char* k : {"x", "y", "w", "h"})
            r.require(k);
        double lo = it.kind == ItemKind::Line ? -5000 : 0;
        r.number("x", it.x, 0, 5000);
        r.number("y", it.y, 0, 5000);
        r.number("w", it.w, lo, 5000);
        r.number("h", it.h, lo, 5000);
        if (auto s = r.get("style")) {
            std::string_view name;
            if (s->get_string().get(name) == simdjson::SUCCESS) {
                auto at = m_styleIndex.find(std::string(name));
                if (at == m_styleIndex.end())
                    fail(r.at("style"), "unknown style \"" + std::string(name) + "\"");
                it.style = int(at->second);
            } else {
                r.child("style");
                TextStyle st = style(*s, r.at("style"));
                checkBase(st, r.at("style"));
                it.style = int(tmpl.styles.size());
                tmpl.styles.push_back(std::move(st));
                m_stylePaths.push_back(r.at("style"));
            }
        }
        if (it.kind == ItemKind::Text) r.string("text", it.text);
        if (it.kind == ItemKind::Barcode) {
            r.string(r.get("data") ? "data" : "text", it.text);
            it.symbology = asString(r.require("symbology"), r.at("symbology"));
        }
        if (it.kind == ItemKind::Image) {
            auto bytes = mBase64::DecodeBase64(asString(r.require("data"), r.at("data")));
            if (!bytes) fail(r.at("data"), "not valid Base64");
            it.imageData = std::move(*bytes);
            r.boolean("keepAspect", it.keepAspect);
        }
        if (auto rules = r.child("rules")) {
            size_t i = 0;
            const std::string rulesPath = r.at("rules");
            for (element re : asArray(*rules, rulesPath))
                it.rules.push_back(rule(re, indexed(rulesPath, i++)));
        }
        it.keys = r.keys();
        return it;
    }

    StyleRule rule(element e, const std::string& path) {
        ObjectReader r(e, path);
        StyleRule rule;
        rule.when = asString(r.require("when"), r.at("when"));
        if (auto s = r.get("style")) {
            rule.style = asString(*s, r.at("style"));
            if (!m_styleIndex.count(rule.style)) fail(r.at("style"), "unknown style \"" + rule.style + "\"");
        }
        r.boolean("visible", rule.visible);
        rule.keys = r.keys();
        return rule;
    }

    void groups(element e) {
        size_t i = 0;
        for (element ge : asArray(e, "groups")) {
            ObjectReader r(ge, indexed("groups", i++));
            Group g;
            r.string("name", g.name);
            auto by = r.get("by");
            if (!by) fail(r.path(), "missing key \"by\"");
            std::string_view single;
            if (by->get_string().get(single) == simdjson::SUCCESS) {
                g.fields.emplace_back(single);
            } else {
                size_t j = 0;
                for (element f : asArray(*by, r.at("by")))
                    g.fields.push_back(asString(f, indexed(r.at("by"), j++)));
            }
            if (g.fields.empty()) fail(r.at("by"), "a group needs at least one field");
            if (g.name.empty()) g.name = g.fields.front();
            r.boolean("newPage", g.newPage);
            r.boolean("repeatHeader", g.repeatHeader);
            if (auto h = r.child("header")) band(*h, r.at("header"), g.header, false);
            if (auto f = r.child("footer")) band(*f, r.at("footer"), g.footer, false);
            g.keys = r.keys();
            tmpl.groups.push_back(std::move(g));
        }
    }

    std::unordered_map<std::string, size_t> m_styleIndex{{"default", 0}};
    std::vector<std::string> m_stylePaths; // parallel to tmpl.styles, for errors found after reading
};

} // namespace

TemplateLoadResult ParseTemplate(std::string_view json) {
    TemplateLoadResult result;
    simdjson::dom::parser parser;
    simdjson::padded_string padded(json);
    element root;
    auto err = parser.allocate(json.size(), kMaxTemplateNesting);
    if (err == simdjson::SUCCESS) err = parser.parse(padded).get(root);
    if (err != simdjson::SUCCESS) {
        JsonSyntaxError where;
        if (json.find_first_not_of(" \t\r\n") == std::string_view::npos)
            result.error = "the file is empty";
        else if (!CheckJsonSyntax(json, where, kMaxTemplateNesting))
            result.error = std::string(where.tooDeep ? "" : "not valid JSON: ") + "line " +
                           std::to_string(where.line) + ", column " + std::to_string(where.column) + ": " +
                           where.reason;
        else
            result.error = std::string("not valid JSON: ") + simdjson::error_message(err);
        return result;
    }
    try {
        Reader reader;
        reader.document(root);
        // An expression that cannot be read prints nothing, as unknown references did before there
        // were expressions: files written then still load; the problem is told with its place.
        for (const ExpressionProblem& p : CheckExpressions(reader.tmpl))
            if (p.broken) result.warnings.push_back(p.describe());
        KeepFileSpellings(reader.tmpl);
        result.tmpl = std::move(reader.tmpl);
    } catch (const LoadFailure& f) {
        result.error = f.message;
    }
    return result;
}

} // namespace verolux::reports
