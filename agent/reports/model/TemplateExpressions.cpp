#include "agent/reports/model/TemplateExpressions.h"

#include "agent/reports/format/Aggregator.h"
#include "agent/reports/format/ExprValue.h"
#include "agent/reports/model/TemplateNames.h"

#include <algorithm>

namespace verolux::reports {

using format::expr::Ast;
using format::expr::Node;

namespace {

std::string_view Trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t'))
        s.remove_suffix(1);
    return s;
}

bool IsDeclared(const std::vector<reports::Declared>& list, std::string_view name) {
    for (const auto& d : list)
        if (d.name == name) return true;
    return false;
}

bool IsScopeName(std::string_view s) {
    return s == "group" || s == "page" || s == "report";
}

bool IsSystemName(std::string_view s) {
    for (std::string_view n : {"page", "row", "grouprow", "now", "title"})
        if (s == n) return true;
    return false;
}

// `sum(amount)`, `count()`, `sum(amount, group)`: what plain references always read.
bool IsPlainAggregate(const Ast& ast) {
    const Node& root = ast.at(ast.root);
    if (root.kind != Node::Kind::Call || !format::ParseAggregateFunction(root.text)) return false;
    if (root.args.size() > 2) return false;
    for (int a : root.args)
        if (ast.at(a).kind != Node::Kind::Name) return false;
    return true;
}

struct Walker {
    const Ast& ast;
    ExpressionFault fault;

    void walk(int i, bool inAggregate) {
        if (!fault.message.empty()) return;
        const Node& n = ast.at(i);
        if (n.kind == Node::Kind::System && !IsSystemName(n.text)) {
            fault = {n.pos, n.text == "pages" ? "the page count stands only alone: {#pages}"
                                              : "unknown system value #" + n.text};
            return;
        }
        if (n.kind == Node::Kind::Call) {
            if (format::ParseAggregateFunction(n.text)) {
                if (inAggregate) {
                    fault = {n.pos, "an aggregate cannot stand inside another"};
                    return;
                }
                const bool count = format::expr::IsKeyword(n.text, "count");
                if (n.args.size() > 2 || (n.args.empty() && !count)) {
                    fault = {n.pos, n.text + "() takes a value and an optional scope"};
                    return;
                }
                if (n.args.size() == 2) {
                    const Node& scope = ast.at(n.args[1]);
                    if (scope.kind != Node::Kind::Name || !IsScopeName(scope.text)) {
                        fault = {scope.pos, "the scope is group, page or report"};
                        return;
                    }
                }
                if (!n.args.empty()) walk(n.args[0], true);
                return;
            }
            std::string why;
            if (!format::expr::IsKnownFunction(n.text, n.args.size(), why)) {
                fault = {n.pos, why};
                return;
            }
        }
        for (int a : n.args)
            walk(a, inAggregate);
    }
};

size_t CharacterAt(std::string_view text, size_t byte) {
    size_t chars = 1;
    for (size_t i = 0; i < byte && i < text.size(); ++i)
        chars += (static_cast<unsigned char>(text[i]) & 0xC0) != 0x80;
    return chars;
}

void UnknownNames(const Ast& ast, int i, const Template& tmpl, size_t base, std::string_view text,
                  const std::string& path, std::vector<ExpressionProblem>& out) {
    const Node& n = ast.at(i);
    if (n.kind == Node::Kind::Name && !IsDeclared(tmpl.fields, n.text) &&
        !IsDeclared(tmpl.parameters, n.text))
        out.push_back({path, CharacterAt(text, base + n.pos),
                       "\"" + n.text + "\" is neither a field nor a parameter", false});
    if (n.kind == Node::Kind::Parameter && !IsDeclared(tmpl.parameters, n.text))
        out.push_back(
            {path, CharacterAt(text, base + n.pos), "\"" + n.text + "\" is not a parameter", false});
    const bool aggregate = n.kind == Node::Kind::Call && format::ParseAggregateFunction(n.text);
    for (size_t a = 0; a < n.args.size(); ++a)
        if (!(aggregate && a == 1)) UnknownNames(ast, n.args[a], tmpl, base, text, path, out);
}

void CheckText(const std::string& text, const std::string& path, const Template& tmpl,
               std::vector<ExpressionProblem>& out) {
    for (const auto& piece : format::expr::SplitTemplateText(text)) {
        if (!piece.reference) continue;
        const ClassifiedReference c = ClassifyReference(piece.body, tmpl);
        if (c.form == ReferenceForm::Unreadable) {
            out.push_back(
                {path, CharacterAt(text, piece.offset + c.parsed.error->pos), c.parsed.error->message});
            continue;
        }
        if (c.form == ReferenceForm::Plain) continue;
        const ExpressionFault f = CheckExpressionMeaning(c.parsed.ast);
        if (!f.message.empty()) {
            out.push_back({path, CharacterAt(text, piece.offset + f.pos), f.message});
            continue;
        }
        UnknownNames(c.parsed.ast, c.parsed.ast.root, tmpl, piece.offset, text, path, out);
    }
}

void CheckWhen(const std::string& when, const std::string& path, const Template& tmpl,
               std::vector<ExpressionProblem>& out) {
    const auto parsed = format::expr::ParseExpression(when);
    if (!parsed) {
        out.push_back({path, CharacterAt(when, parsed.error->pos), parsed.error->message});
        return;
    }
    const ExpressionFault f = CheckExpressionMeaning(parsed.ast);
    if (!f.message.empty()) {
        out.push_back({path, CharacterAt(when, f.pos), f.message});
        return;
    }
    UnknownNames(parsed.ast, parsed.ast.root, tmpl, 0, when, path, out);
}

void CheckBand(const Band& band, const std::string& path, const Template& tmpl,
               std::vector<ExpressionProblem>& out) {
    for (size_t i = 0; i < band.items.size(); ++i) {
        const Item& it = band.items[i];
        const std::string itemPath = path + ".items[" + std::to_string(i) + "]";
        if (it.kind == ItemKind::Text || it.kind == ItemKind::Barcode)
            CheckText(it.text,
                      itemPath +
                          (it.kind == ItemKind::Barcode && !(it.keys.has("text") && !it.keys.has("data"))
                               ? ".data"
                               : ".text"),
                      tmpl, out);
        for (size_t r = 0; r < it.rules.size(); ++r)
            CheckWhen(it.rules[r].when, itemPath + ".rules[" + std::to_string(r) + "].when", tmpl, out);
    }
}

const Declared* FindField(const Template& tmpl, std::string_view name) {
    for (const auto& d : tmpl.fields)
        if (d.name == name) return &d;
    return nullptr;
}

bool IsArithmetic(const Node& n) {
    using format::expr::Op;
    if (n.kind == Node::Kind::Unary) return n.op == Op::Neg;
    return n.kind == Node::Kind::Binary &&
           (n.op == Op::Add || n.op == Op::Sub || n.op == Op::Mul || n.op == Op::Div || n.op == Op::Mod);
}

void TextOperands(const Ast& ast, int i, bool counted, const Template& tmpl, std::vector<std::string>& out) {
    const Node& n = ast.at(i);
    if (n.kind == Node::Kind::Name) {
        const Declared* f = FindField(tmpl, n.text);
        if (counted && f && f->type == "text" && std::find(out.begin(), out.end(), n.text) == out.end())
            out.push_back(n.text);
        return;
    }
    const auto fn = n.kind == Node::Kind::Call ? format::ParseAggregateFunction(n.text) : std::nullopt;
    const bool adds = fn && (*fn == format::AggregateFunction::Sum || *fn == format::AggregateFunction::Avg);
    for (size_t a = 0; a < n.args.size(); ++a) {
        if (fn && a == 1) break; // the scope
        TextOperands(ast, n.args[a], IsArithmetic(n) || (adds && a == 0), tmpl, out);
    }
}

} // namespace

std::vector<ExpressionProblem> CheckReferenceText(const std::string& text, const Template& tmpl) {
    std::vector<ExpressionProblem> out;
    CheckText(text, "", tmpl, out);
    return out;
}

std::vector<ExpressionProblem> CheckCondition(const std::string& when, const Template& tmpl) {
    std::vector<ExpressionProblem> out;
    CheckWhen(when, "", tmpl, out);
    return out;
}

std::vector<std::string> TextFieldsInArithmetic(const std::string& text, const Template& tmpl) {
    std::vector<std::string> out;
    for (const auto& piece : format::expr::SplitTemplateText(text)) {
        if (!piece.reference) continue;
        const ClassifiedReference c = ClassifyReference(piece.body, tmpl);
        if (c.form == ReferenceForm::Unreadable || c.parsed.ast.root < 0) continue;
        TextOperands(c.parsed.ast, c.parsed.ast.root, false, tmpl, out);
    }
    return out;
}

ClassifiedReference ClassifyReference(std::string_view body, const Template& tmpl) {
    ClassifiedReference c;
    const std::string_view e = Trim(body);
    if (e.empty() || IsDeclared(tmpl.fields, e) || IsDeclared(tmpl.parameters, e)) return c;
    const bool looks = format::expr::LooksLikeExpression(e);
    if ((e.front() == '#' || e.front() == '$') && !looks) return c;
    c.parsed = format::expr::ParseExpression(e);
    if (!c.parsed) {
        c.form = looks ? ReferenceForm::Unreadable : ReferenceForm::Plain;
        if (looks) c.parsed.error->pos += size_t(e.data() - body.data());
        return c;
    }
    const Node& root = c.parsed.ast.at(c.parsed.ast.root);
    if (root.kind == Node::Kind::Name || IsPlainAggregate(c.parsed.ast)) return c; // form stays Plain
    c.form = ReferenceForm::Expression;
    // Positions count from the body as written, blanks before it included.
    for (Node& n : c.parsed.ast.nodes)
        n.pos += uint32_t(e.data() - body.data());
    return c;
}

ExpressionFault CheckExpressionMeaning(const Ast& ast) {
    Walker w{ast, {}};
    w.walk(ast.root, false);
    return w.fault;
}

std::string ExpressionProblem::describe() const {
    return path + ": character " + std::to_string(character) + ": " + message;
}

std::vector<ExpressionProblem> CheckExpressions(const Template& tmpl) {
    std::vector<ExpressionProblem> out;
    for (const auto& b : kBandNames)
        if ((tmpl.*(b.value)).present) CheckBand(tmpl.*(b.value), "bands." + std::string(b.name), tmpl, out);
    for (size_t g = 0; g < tmpl.groups.size(); ++g) {
        const std::string path = "groups[" + std::to_string(g) + "]";
        if (tmpl.groups[g].header.present) CheckBand(tmpl.groups[g].header, path + ".header", tmpl, out);
        if (tmpl.groups[g].footer.present) CheckBand(tmpl.groups[g].footer, path + ".footer", tmpl, out);
    }
    return out;
}

} // namespace verolux::reports
