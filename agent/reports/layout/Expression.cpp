#include "agent/reports/layout/Expression.h"

#include "agent/reports/model/TemplateExpressions.h"

namespace verolux::reports {

namespace {

int findDeclared(const std::vector<Declared>& list, std::string_view name) {
    for (size_t i = 0; i < list.size(); ++i)
        if (list[i].name == name) return static_cast<int>(i);
    return -1;
}

std::string_view trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t'))
        s.remove_suffix(1);
    return s;
}

Segment reference(std::string_view body, const Template& tmpl) {
    Segment seg;
    body = trim(body);
    seg.kind = Segment::Kind::Unknown;
    if (body.empty()) return seg;

    if (body.front() == '#') {
        std::string_view sys = body.substr(1);
        if (sys == "page")
            seg.kind = Segment::Kind::PageNumber;
        else if (sys == "pages")
            seg.kind = Segment::Kind::PageCount;
        else if (sys == "row")
            seg.kind = Segment::Kind::RowNumber;
        else if (sys == "grouprow")
            seg.kind = Segment::Kind::GroupRowNumber;
        else if (sys == "now")
            seg.kind = Segment::Kind::Now;
        else if (sys == "title")
            seg.kind = Segment::Kind::Title;
        return seg;
    }
    if (body.front() == '$') {
        seg.index = findDeclared(tmpl.parameters, trim(body.substr(1)));
        if (seg.index >= 0) seg.kind = Segment::Kind::Parameter;
        return seg;
    }
    size_t open = body.find('(');
    if (open != std::string_view::npos && body.back() == ')') {
        auto fn = format::ParseAggregateFunction(trim(body.substr(0, open)));
        if (!fn) return seg;
        std::string_view args = body.substr(open + 1, body.size() - open - 2);
        std::string_view field = args, scope;
        size_t comma = args.find(',');
        if (comma != std::string_view::npos) {
            field = args.substr(0, comma);
            scope = trim(args.substr(comma + 1));
        }
        field = trim(field);
        seg.function = *fn;
        if (scope == "group")
            seg.scope = AggregateScope::Group;
        else if (scope == "page")
            seg.scope = AggregateScope::Page;
        else if (scope == "report")
            seg.scope = AggregateScope::Report;
        else if (!scope.empty())
            return seg;
        if (field.empty()) {
            if (*fn != format::AggregateFunction::Count) return seg; // only count() goes without a field
            seg.index = -1;
        } else {
            seg.index = findDeclared(tmpl.fields, field);
            if (seg.index < 0) return seg;
        }
        seg.kind = Segment::Kind::Aggregate;
        return seg;
    }
    seg.index = findDeclared(tmpl.fields, body);
    if (seg.index >= 0) {
        seg.kind = Segment::Kind::Field;
        return seg;
    }
    seg.index = findDeclared(tmpl.parameters, body);
    if (seg.index >= 0) seg.kind = Segment::Kind::Parameter;
    return seg;
}

} // namespace

Expression CompileExpression(std::string_view text, const Template& tmpl) {
    Expression expr;
    for (auto& piece : format::expr::SplitTemplateText(text)) {
        if (!piece.reference) {
            Segment s;
            s.text = std::move(piece.literal);
            expr.segments.push_back(std::move(s));
            continue;
        }
        expr.literalOnly = false;
        ClassifiedReference c = ClassifyReference(piece.body, tmpl);
        Segment seg;
        if (c.form == ReferenceForm::Plain) {
            seg = reference(piece.body, tmpl);
        } else {
            seg.kind = Segment::Kind::Unknown;
            if (c.form == ReferenceForm::Expression && CheckExpressionMeaning(c.parsed.ast).message.empty()) {
                seg.kind = Segment::Kind::Computed;
                seg.index = static_cast<int>(expr.computed.size());
                expr.computed.push_back(CompileAst(c.parsed.ast, tmpl, "{" + std::string(piece.body) + "}"));
                if (expr.computed.back().usesPageScope) expr.usesPageScope = true;
            }
        }
        if (piece.hasFormat) {
            seg.text = std::string(piece.format);
            seg.hasFormat = true;
        }
        if (seg.kind == Segment::Kind::PageCount) expr.usesPageCount = true;
        if (seg.kind == Segment::Kind::Aggregate && seg.scope == AggregateScope::Page)
            expr.usesPageScope = true;
        expr.segments.push_back(std::move(seg));
    }
    return expr;
}

std::optional<CompiledExpr> CompileCondition(std::string_view when, const Template& tmpl) {
    const auto parsed = format::expr::ParseExpression(when);
    if (!parsed || !CheckExpressionMeaning(parsed.ast).message.empty()) return std::nullopt;
    return CompileAst(parsed.ast, tmpl, std::string(when));
}

} // namespace verolux::reports
