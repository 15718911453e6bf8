#include "agent/reports/design/RowValues.h"

#include "agent/reports/format/Aggregator.h"
#include "agent/reports/format/ExprValue.h"
#include "agent/reports/format/FieldType.h"
#include "agent/reports/format/ValueConvert.h"
#include "agent/reports/model/TemplateExpressions.h"

namespace verolux::reports::design {

namespace {

using format::expr::Ast;
using format::expr::Node;
using format::expr::Value;

int Find(const std::vector<Declared>& list, std::string_view name) {
    for (size_t i = 0; i < list.size(); ++i)
        if (list[i].name == name) return int(i);
    return -1;
}

Value Declared(const std::vector<reports::Declared>& list, const std::vector<ScalarValue>& values, int i) {
    if (i < 0 || size_t(i) >= values.size()) return {};
    const auto type = format::ParseFieldType(list[size_t(i)].type).value_or(format::FieldType::Text);
    return format::expr::FromTyped(format::ConvertValue(values[size_t(i)], type));
}

Value One() {
    return Value::ofNumber(format::Decimal::parse("1").value_or(format::Decimal()));
}

struct RowEval {
    const Ast& ast;
    const Template& tmpl;
    const SampleRow& row;

    Value eval(int i) const {
        const Node& n = ast.at(i);
        switch (n.kind) {
        case Node::Kind::Number:
            return Value::ofNumber(format::Decimal::parse(n.text).value_or(format::Decimal()));
        case Node::Kind::Text:
            return Value::ofText(n.text);
        case Node::Kind::Boolean:
            return Value::ofBoolean(n.boolean);
        case Node::Kind::Name:
            if (const int f = Find(tmpl.fields, n.text); f >= 0) return Declared(tmpl.fields, row.fields, f);
            return Declared(tmpl.parameters, row.parameters, Find(tmpl.parameters, n.text));
        case Node::Kind::Parameter:
            return Declared(tmpl.parameters, row.parameters, Find(tmpl.parameters, n.text));
        case Node::Kind::System:
            if (n.text == "title") return Value::ofText(row.title.empty() ? tmpl.title : row.title);
            return n.text == "now" ? Value{} : One(); // page, pages, row, grouprow of the first row
        case Node::Kind::Unary:
            return format::expr::ApplyUnary(n.op, eval(n.args[0]));
        case Node::Kind::Binary:
            return format::expr::ApplyBinary(n.op, eval(n.args[0]), eval(n.args[1]));
        case Node::Kind::Call:
            break;
        }
        if (const auto fn = format::ParseAggregateFunction(n.text)) {
            format::expr::Total total; // over this one row
            total.add(n.args.empty() ? One() : eval(n.args[0]));
            return total.result(int(*fn));
        }
        if (format::expr::IsKeyword(n.text, "if")) {
            if (format::expr::Truth(eval(n.args[0]))) return eval(n.args[1]);
            return n.args.size() > 2 ? eval(n.args[2]) : Value{};
        }
        std::vector<Value> args;
        for (int a : n.args)
            args.push_back(eval(a));
        return format::expr::CallFunction(n.text, args).value_or(Value{});
    }
};

// The format a reference prints with: its own, else the style's, else a plain field's declared one.
std::string FormatOf(const format::expr::TextPiece& piece, const Ast& ast, const Template& tmpl, int style) {
    if (piece.hasFormat) return std::string(piece.format);
    if (style >= 0 && size_t(style) < tmpl.styles.size() && !tmpl.styles[size_t(style)].format.empty())
        return tmpl.styles[size_t(style)].format;
    const Node& root = ast.at(ast.root);
    const Node* name = root.kind == Node::Kind::Name ? &root : nullptr;
    if (root.kind == Node::Kind::Call && !root.args.empty() && ast.at(root.args[0]).kind == Node::Kind::Name)
        name = &ast.at(root.args[0]);
    if (name) {
        if (const int f = Find(tmpl.fields, name->text); f >= 0) return tmpl.fields[size_t(f)].format;
        if (const int p = Find(tmpl.parameters, name->text); p >= 0) return tmpl.parameters[size_t(p)].format;
    }
    return {};
}

} // namespace

std::string TextOnRow(std::string_view text, const Template& tmpl, const SampleRow& row, int style) {
    std::string out;
    for (const auto& piece : format::expr::SplitTemplateText(text)) {
        if (!piece.reference) {
            out += piece.literal;
            continue;
        }
        // A plain name parses as an expression too; what reads as nothing prints nothing.
        const auto parsed = format::expr::ParseExpression(piece.body);
        if (!parsed || !CheckExpressionMeaning(parsed.ast).message.empty()) continue;
        try {
            const Value v = RowEval{parsed.ast, tmpl, row}.eval(parsed.ast.root);
            out += format::expr::FormatExprValue(v, FormatOf(piece, parsed.ast, tmpl, style));
        } catch (const format::expr::EvalError&) { // prints empty, as in the report
        }
    }
    return out;
}

int RuleOnRow(const Item& item, const Template& tmpl, const SampleRow& row) {
    for (size_t r = 0; r < item.rules.size(); ++r) {
        const auto parsed = format::expr::ParseExpression(item.rules[r].when);
        if (!parsed || !CheckExpressionMeaning(parsed.ast).message.empty()) continue;
        try {
            if (format::expr::Truth(RowEval{parsed.ast, tmpl, row}.eval(parsed.ast.root))) return int(r);
        } catch (const format::expr::EvalError&) { // a condition that cannot be computed does not hold
        }
    }
    return -1;
}

std::string Insertion(std::string_view text, size_t place, std::string_view reference) {
    bool inside = false;
    for (const auto& piece : format::expr::SplitTemplateText(text)) {
        if (!piece.reference) continue;
        const size_t open = piece.offset - 1, close = piece.offset + piece.body.size() +
                                                      (piece.hasFormat ? piece.format.size() + 1 : 0);
        if (place > open && place <= close) inside = true;
    }
    return inside ? std::string(reference) : "{" + std::string(reference) + "}";
}

std::string AggregateReference(std::string_view function, std::string_view field, std::string_view scope) {
    std::string out = std::string(function) + "(" + std::string(field);
    if (!scope.empty()) out += ", " + std::string(scope);
    return out + ")";
}

std::string GuessFieldType(const std::vector<ScalarValue>& values) {
    bool numbers = true, integers = true, dates = true, booleans = true, any = false;
    for (const ScalarValue& v : values) {
        if (v.isEmpty() || (v.kind == ScalarValue::Kind::Text && v.text.empty())) continue;
        any = true;
        if (v.kind != ScalarValue::Kind::Boolean && v.text != "true" && v.text != "false") booleans = false;
        const auto d = format::Decimal::parse(v.text);
        if (!d || v.kind == ScalarValue::Kind::Boolean) numbers = integers = false;
        if (d && v.text.find_first_of(".eE") != std::string::npos) integers = false;
        if (v.kind != ScalarValue::Kind::Text || !format::ParseDateTimeText(v.text)) dates = false;
    }
    if (!any) return "text";
    if (booleans) return "boolean";
    if (numbers) return integers ? "integer" : "decimal";
    return dates ? "datetime" : "text";
}

std::optional<std::string> TypeForNewName(const reports::Declared& field,
                                          const std::vector<ScalarValue>& values) {
    if (field.type != reports::Declared{}.type || !field.format.empty()) return std::nullopt;
    std::string guess = GuessFieldType(values);
    if (guess == field.type) return std::nullopt;
    return guess;
}

} // namespace verolux::reports::design
