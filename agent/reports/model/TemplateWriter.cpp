#include "agent/reports/model/TemplateWriter.h"

#include "agent/reports/model/JsonOut.h"
#include "agent/reports/model/StyleKeys.h"
#include "agent/reports/model/TemplateFile.h"
#include "agent/reports/model/TemplateNames.h"
#include "common/Base64.h"

#include <cstdio>
#include <type_traits>
#include <unordered_map>

namespace verolux::reports {

namespace {

std::string colorText(uint32_t c) {
    if (c == 0) return "none";
    char buf[16];
    if ((c >> 24) == 0xFF)
        std::snprintf(buf, sizeof buf, "#%06X", c & 0xFFFFFF);
    else
        std::snprintf(buf, sizeof buf, "#%08X", c);
    return buf;
}

// Writes a key when the file had it or its value is not what a reader assumes without it. The value is
// taken by reference: callers test `!value.empty()` in the same call, which a by-value parameter could
// find already moved from (arguments are evaluated in any order).
void put(JsonOut& o, const FileKeys& keys, std::string_view key, bool notDefault, JsonOut&& value) {
    if (notDefault || keys.has(key)) o.add(std::string(key), std::move(value));
}

JsonOut styleValue(const StyleKeyInfo& key, const TextStyle& st) {
    return VisitStyleKey(key, st, [](const auto& v) {
        using T = std::decay_t<decltype(v)>;
        if constexpr (std::is_same_v<T, std::string>)
            return JsonOut::String(v);
        else if constexpr (std::is_same_v<T, double>)
            return JsonOut::Number(v);
        else if constexpr (std::is_same_v<T, bool>)
            return JsonOut::Bool(v);
        else if constexpr (std::is_same_v<T, uint32_t>)
            return JsonOut::String(colorText(v));
        else if constexpr (std::is_same_v<T, HAlign>)
            return JsonOut::String(NameOf(kAlignNames, v));
        else
            return JsonOut::String(NameOf(kVAlignNames, v));
    });
}

// The members the model gives, laid out as the file had them: the file's keys in the file's order (known
// ones with the model's values, unknown ones as they were), then each new key after the key that comes
// before it in the writer's own order.
JsonOut merge(JsonOut made, const FileKeys& file) {
    if (file.keys.empty()) return made;
    std::unordered_map<std::string_view, size_t> index;
    for (size_t i = 0; i < made.members.size(); ++i)
        index.emplace(made.members[i].key, i);
    std::vector<JsonMember> out;
    std::vector<long> placed(made.members.size(), -1);
    for (const FileKey& k : file.keys) {
        auto at = index.find(k.name);
        if (at != index.end() && placed[at->second] < 0) {
            JsonMember m = std::move(made.members[at->second]);
            if (!k.text.empty() && CompactJson(m.value) == k.canonical) m.value = JsonOut::Leaf(k.text);
            placed[at->second] = long(out.size());
            out.push_back(std::move(m));
        } else if (!k.known && at == index.end()) {
            out.push_back(JsonMember{k.name, JsonOut::Leaf(k.text)});
        }
    }
    // after[p + 1]: new members that follow out[p] (after[0]: before the first).
    std::vector<std::vector<JsonMember>> after(out.size() + 1);
    long previous = -1;
    for (size_t i = 0; i < made.members.size(); ++i) {
        if (placed[i] >= 0)
            previous = placed[i];
        else
            after[size_t(previous + 1)].push_back(std::move(made.members[i]));
    }
    std::vector<JsonMember> all;
    all.reserve(made.members.size() + file.keys.size());
    for (size_t p = 0; p <= out.size(); ++p) {
        for (auto& m : after[p])
            all.push_back(std::move(m));
        if (p < out.size()) all.push_back(std::move(out[p]));
    }
    made.members = std::move(all);
    return made;
}

void learn(FileKeys& file, const JsonOut& made) {
    for (FileKey& k : file.keys) {
        if (!k.known || k.text.empty()) continue;
        k.canonical.clear();
        for (const JsonMember& m : made.members) {
            if (m.key != k.name) continue;
            k.canonical = CompactJson(m.value);
            break;
        }
        if (k.canonical == k.text) k.text.clear(), k.canonical.clear();
    }
}

// One walk over the model for both jobs: writing (Learn = false) and, on a template just read, noting
// which spellings of the file to keep (Learn = true).
template <bool Learn> class Emitter {
    template <class T> using Ref = std::conditional_t<Learn, T&, const T&>;

  public:
    explicit Emitter(Ref<Template> t) : m_t(t) {
        for (size_t i = 0; i < m_t.styles.size(); ++i)
            if (!m_t.styles[i].name.empty()) m_styleIndex.emplace(m_t.styles[i].name, i);
        // "default" and the styles its chain goes through build on the built-in style.
        m_fromBuiltIn.assign(m_t.styles.size(), false);
        for (size_t i = 0; i < m_t.styles.size() && !m_fromBuiltIn[i];) {
            m_fromBuiltIn[i] = true;
            auto at = m_styleIndex.find(m_t.styles[i].base);
            if (at == m_styleIndex.end()) break;
            i = at->second;
        }
    }

    JsonOut document() {
        const FileKeys& keys = m_t.keys;
        JsonOut o = JsonOut::Object(true);
        o.add("format", JsonOut::String("verolux-report"));
        o.add("version", JsonOut::Number(kTemplateFormatVersion));
        put(o, keys, "title", !m_t.title.empty(), JsonOut::String(m_t.title));
        put(o, keys, "printer", !m_t.printer.empty(), JsonOut::String(m_t.printer));
        JsonOut page = pageSetup(m_t.page);
        put(o, keys, "page", !page.empty(), std::move(page));
        JsonOut styles = styleTable();
        put(o, keys, "styles", !styles.empty(), std::move(styles));
        put(o, keys, "parameters", !m_t.parameters.empty(), declaredList(m_t.parameters));
        put(o, keys, "fields", !m_t.fields.empty(), declaredList(m_t.fields));
        JsonOut bands = JsonOut::Object(true);
        for (const auto& b : kBandNames) {
            Ref<Band> band = m_t.*(b.value);
            if (band.present) bands.add(std::string(b.name), this->band(band, b.value == &Template::detail));
        }
        o.add("bands", finish(std::move(bands), m_t.bandKeys));
        JsonOut groups = JsonOut::Array(true);
        for (auto& g : m_t.groups)
            groups.elements.push_back(group(g));
        put(o, keys, "groups", !m_t.groups.empty(), std::move(groups));
        return finish(std::move(o), m_t.keys);
    }

  private:
    JsonOut finish(JsonOut made, Ref<FileKeys> file) {
        if constexpr (Learn) learn(file, made);
        return merge(std::move(made), file);
    }

    JsonOut pageSetup(Ref<PageSetup> p) {
        const PageSetup none;
        JsonOut o = JsonOut::Object();
        put(o, p.keys, "paper", p.paper != none.paper, JsonOut::String(p.paper));
        if (p.paper == "Custom") {
            o.add("width", JsonOut::Number(p.width));
            o.add("height", JsonOut::Number(p.height));
        }
        put(o, p.keys, "orientation", p.landscape, JsonOut::String(NameOf(kOrientationNames, p.landscape)));
        JsonOut m = JsonOut::Object();
        put(m, p.marginKeys, "left", p.marginLeft != none.marginLeft, JsonOut::Number(p.marginLeft));
        put(m, p.marginKeys, "top", p.marginTop != none.marginTop, JsonOut::Number(p.marginTop));
        put(m, p.marginKeys, "right", p.marginRight != none.marginRight, JsonOut::Number(p.marginRight));
        put(m, p.marginKeys, "bottom", p.marginBottom != none.marginBottom, JsonOut::Number(p.marginBottom));
        m = finish(std::move(m), p.marginKeys);
        put(o, p.keys, "margins", !m.empty(), std::move(m));
        return finish(std::move(o), p.keys);
    }

    JsonOut styleTable() {
        JsonOut o = JsonOut::Object(true);
        for (size_t i = 0; i < m_t.styles.size(); ++i) {
            Ref<TextStyle> st = m_t.styles[i];
            if (st.name.empty()) continue;
            JsonOut s = style(st, i);
            if (i == 0 && s.empty() && !m_t.styleKeys.has(st.name)) continue;
            o.add(st.name, std::move(s));
        }
        return finish(std::move(o), m_t.styleKeys);
    }

    // A style's keys: those it sets itself, and any value that is not its base's (a style changed in code).
    JsonOut style(Ref<TextStyle> st, size_t index) {
        static const TextStyle builtIn = BuiltInStyle();
        const TextStyle* base = &m_t.styles[0];
        if (!st.base.empty()) {
            auto at = m_styleIndex.find(st.base);
            base = at == m_styleIndex.end() ? &builtIn : &m_t.styles[at->second];
        } else if (index < m_fromBuiltIn.size() && m_fromBuiltIn[index]) {
            base = &builtIn;
        }
        const TextStyle& b = *base;
        const FileKeys& k = st.keys;
        JsonOut o = JsonOut::Object();
        JsonOut bo = JsonOut::Object();
        put(o, k, "base", !st.base.empty(), JsonOut::String(st.base));
        for (const StyleKeyInfo& key : kStyleKeys) {
            const bool set = (st.own & key.bit) || StyleKeyDiffers(key, st, b);
            if (key.inBorders)
                put(bo, st.borderKeys, key.name, set, styleValue(key, st));
            else
                put(o, k, key.name, set, styleValue(key, st));
        }
        bo = finish(std::move(bo), st.borderKeys);
        put(o, k, "borders", !bo.empty(), std::move(bo));
        return finish(std::move(o), st.keys);
    }

    template <class List> JsonOut declaredList(List& list) {
        JsonOut a = JsonOut::Array(true);
        for (auto& d : list) {
            JsonOut o = JsonOut::Object();
            o.add("name", JsonOut::String(d.name));
            put(o, d.keys, "type", d.type != "text", JsonOut::String(d.type));
            put(o, d.keys, "format", !d.format.empty(), JsonOut::String(d.format));
            put(o, d.keys, "default", !d.defaultValue.empty(), JsonOut::String(d.defaultValue));
            a.elements.push_back(finish(std::move(o), d.keys));
        }
        return a;
    }

    JsonOut band(Ref<Band> b, bool detail) {
        JsonOut o = JsonOut::Object();
        o.add("height", JsonOut::Number(b.height));
        if (detail) {
            const Columns& c = b.columns;
            const FileKeys& ck = b.columnKeys;
            JsonOut co = JsonOut::Object();
            put(co, ck, "count", c.count != 1, JsonOut::Number(c.count));
            put(co, ck, "width", c.width != 0, JsonOut::Number(c.width));
            put(co, ck, "spacing", c.spacing != 0, JsonOut::Number(c.spacing));
            put(co, ck, "order", c.down, JsonOut::String(NameOf(kColumnOrderNames, c.down)));
            co = finish(std::move(co), b.columnKeys);
            put(o, b.keys, "columns", !co.empty(), std::move(co));
        }
        put(o, b.keys, "keepTogether", b.keepTogether, JsonOut::Bool(b.keepTogether));
        put(o, b.keys, "keepWithDetail", b.keepWithDetail, JsonOut::Bool(b.keepWithDetail));
        put(o, b.keys, "printAtBottom", b.printAtBottom, JsonOut::Bool(b.printAtBottom));
        JsonOut items = JsonOut::Array(true);
        for (auto& it : b.items)
            items.elements.push_back(item(it));
        put(o, b.keys, "items", !b.items.empty(), std::move(items));
        return finish(std::move(o), b.keys);
    }

    JsonOut item(Ref<Item> it) {
        const FileKeys& k = it.keys;
        JsonOut o = JsonOut::Object();
        o.add("type", JsonOut::String(NameOf(kItemKindNames, it.kind)));
        o.add("x", JsonOut::Number(it.x));
        o.add("y", JsonOut::Number(it.y));
        o.add("w", JsonOut::Number(it.w));
        o.add("h", JsonOut::Number(it.h));
        // Templates built in code are not checked like loaded files: an unknown index is the default style.
        const size_t s = it.style >= 0 && size_t(it.style) < m_t.styles.size() ? size_t(it.style) : 0;
        Ref<TextStyle> st = m_t.styles[s];
        if (st.name.empty())
            o.add("style", style(st, s));
        else
            put(o, k, "style", s != 0, JsonOut::String(st.name));
        switch (it.kind) {
        case ItemKind::Text:
            put(o, k, "text", !it.text.empty(), JsonOut::String(it.text));
            break;
        case ItemKind::Barcode:
            o.add("symbology", JsonOut::String(it.symbology));
            // Older files give a barcode's data as "text".
            o.add(k.has("text") && !k.has("data") ? "text" : "data", JsonOut::String(it.text));
            break;
        case ItemKind::Image:
            put(o, k, "keepAspect", !it.keepAspect, JsonOut::Bool(it.keepAspect));
            o.add("data", JsonOut::String(mBase64::EncodeBase64(it.imageData)));
            break;
        case ItemKind::Line:
        case ItemKind::Rect:
            break;
        }
        JsonOut rules = JsonOut::Array();
        for (auto& r : it.rules) {
            JsonOut ro = JsonOut::Object();
            ro.add("when", JsonOut::String(r.when));
            put(ro, r.keys, "style", !r.style.empty(), JsonOut::String(r.style));
            put(ro, r.keys, "visible", !r.visible, JsonOut::Bool(r.visible));
            rules.elements.push_back(finish(std::move(ro), r.keys));
        }
        put(o, k, "rules", !it.rules.empty(), std::move(rules));
        return finish(std::move(o), it.keys);
    }

    JsonOut group(Ref<Group> g) {
        const FileKeys& k = g.keys;
        JsonOut o = JsonOut::Object();
        put(o, k, "name", g.fields.empty() || g.name != g.fields.front(), JsonOut::String(g.name));
        JsonOut by = JsonOut::Array();
        for (const auto& f : g.fields)
            by.elements.push_back(JsonOut::String(f));
        o.add("by", std::move(by));
        put(o, k, "newPage", g.newPage, JsonOut::Bool(g.newPage));
        put(o, k, "repeatHeader", !g.repeatHeader, JsonOut::Bool(g.repeatHeader));
        if (g.header.present) o.add("header", band(g.header, false), true);
        if (g.footer.present) o.add("footer", band(g.footer, false), true);
        return finish(std::move(o), g.keys);
    }

    Ref<Template> m_t;
    std::unordered_map<std::string_view, size_t> m_styleIndex;
    std::vector<bool> m_fromBuiltIn;
};

} // namespace

void KeepFileSpellings(Template& tmpl) {
    Emitter<true>(tmpl).document();
}

std::string WriteTemplate(const Template& tmpl) {
    return PrintJson(Emitter<false>(tmpl).document());
}

} // namespace verolux::reports
