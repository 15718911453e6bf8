#include "agent/reports/design/References.h"

#include "agent/reports/design/BandRef.h"
#include "agent/reports/model/TemplateExpressions.h"

#include <algorithm>

namespace verolux::reports::design {

namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

void trim(std::string_view text, size_t& b, size_t& e) {
    while (b < e && isBlank(text[b]))
        ++b;
    while (e > b && isBlank(text[e - 1]))
        --e;
}

bool declared(const std::vector<Declared>& list, std::string_view name) {
    return std::any_of(list.begin(), list.end(), [&](const Declared& d) { return d.name == name; });
}

} // namespace

std::vector<Reference> FindReferences(std::string_view text) {
    std::vector<Reference> out;
    size_t i = 0;
    while (i < text.size()) {
        const char c = text[i];
        if ((c == '{' || c == '}') && i + 1 < text.size() && text[i + 1] == c) {
            i += 2;
            continue;
        }
        if (c != '{') {
            ++i;
            continue;
        }
        const size_t close = text.find('}', i + 1);
        if (close == std::string_view::npos) break; // an unclosed brace is just text
        Reference r;
        r.begin = i;
        r.end = close + 1;
        size_t b = i + 1, e = close;
        const size_t bar = text.find('|', b);
        if (bar < e) e = bar;
        trim(text, b, e);
        if (b < e && text[b] == '#') {
            r.kind = Reference::Kind::System;
            ++b;
        } else if (b < e && text[b] == '$') {
            r.kind = Reference::Kind::Parameter;
            ++b;
            trim(text, b, e);
        } else if (b < e && text[e - 1] == ')' && text.find('(', b) < e) {
            r.kind = Reference::Kind::Aggregate;
            b = text.find('(', b) + 1;
            --e;
            const size_t comma = text.find(',', b);
            if (comma < e) e = comma;
            trim(text, b, e);
        }
        r.nameBegin = b;
        r.nameEnd = e;
        r.name = std::string(text.substr(b, e - b));
        out.push_back(std::move(r));
        i = close + 1;
    }
    return out;
}

std::string RenameInText(std::string_view text, DeclaredKind kind, const std::string& from,
                         const std::string& to, const Template& tmpl) {
    std::string out;
    size_t done = 0;
    const bool fieldNamedFrom = declared(tmpl.fields, from);
    for (const Reference& r : FindReferences(text)) {
        if (r.name != from) continue;
        std::string replacement = to;
        bool rename = false;
        if (kind == DeclaredKind::Field) {
            rename = r.kind == Reference::Kind::Plain || r.kind == Reference::Kind::Aggregate;
        } else if (r.kind == Reference::Kind::Parameter) {
            rename = true;
        } else if (r.kind == Reference::Kind::Plain && !fieldNamedFrom) {
            rename = true;
            if (declared(tmpl.fields, to)) replacement = "$" + to;
        }
        if (!rename) continue;
        out.append(text.substr(done, r.nameBegin - done));
        out += replacement;
        done = r.nameEnd;
    }
    out.append(text.substr(done));
    return out;
}

std::vector<std::string> UndeclaredNames(std::string_view text, const Template& tmpl) {
    std::vector<std::string> out;
    // Expressions name their unknowns themselves (CheckReferenceText): plain references only here.
    std::vector<size_t> expressions;
    for (const auto& piece : format::expr::SplitTemplateText(text))
        if (piece.reference && ClassifyReference(piece.body, tmpl).form != ReferenceForm::Plain)
            expressions.push_back(piece.offset - 1);
    for (const Reference& r : FindReferences(text)) {
        if (std::find(expressions.begin(), expressions.end(), r.begin) != expressions.end()) continue;
        bool known = true;
        switch (r.kind) {
        case Reference::Kind::System:
            break;
        case Reference::Kind::Parameter:
            known = declared(tmpl.parameters, r.name);
            break;
        case Reference::Kind::Aggregate:
            known = r.name.empty() || declared(tmpl.fields, r.name);
            break;
        case Reference::Kind::Plain:
            known = declared(tmpl.fields, r.name) || declared(tmpl.parameters, r.name);
            break;
        }
        if (!known && std::find(out.begin(), out.end(), r.name) == out.end()) out.push_back(r.name);
    }
    return out;
}

int CountReferences(const Template& tmpl, DeclaredKind kind, const std::string& name) {
    int count = 0;
    for (BandRef ref : AllBands(tmpl)) {
        for (const Item& it : FindBand(tmpl, ref)->items) {
            if (it.kind != ItemKind::Text && it.kind != ItemKind::Barcode) continue;
            if (RenameInText(it.text, kind, name, name + "\x01", tmpl) != it.text) ++count;
        }
    }
    if (kind == DeclaredKind::Field)
        for (const Group& g : tmpl.groups)
            count += static_cast<int>(std::count(g.fields.begin(), g.fields.end(), name));
    return count;
}

} // namespace verolux::reports::design
