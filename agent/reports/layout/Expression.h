#pragma once

#include "agent/reports/format/Aggregator.h"
#include "agent/reports/layout/ExpressionEval.h"
#include "agent/reports/model/Template.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace verolux::reports {

// One piece of an item's text: literal text or a reference.
struct Segment {
    enum class Kind : uint8_t {
        Literal,
        Field,
        Parameter,
        PageNumber,
        PageCount,
        RowNumber,
        GroupRowNumber,
        Now,
        Title,
        Aggregate,
        Computed, // an expression: Expression::computed[index]
        Unknown
    };
    Kind kind = Kind::Literal;
    std::string text; // literal text, or the display format written after '|'
    bool hasFormat = false;
    int index = -1; // field or parameter index; aggregate: field index, -1 for count(); computed
    format::AggregateFunction function = format::AggregateFunction::Sum;
    AggregateScope scope = AggregateScope::Default;
};

// An item's text compiled once per report: "客户：{customer}" → [Literal "客户：", Field 0].
struct Expression {
    std::vector<Segment> segments;
    bool literalOnly = true; // nothing to evaluate: the text is segments[0].text (or empty)
    bool usesPageCount = false;
    bool usesPageScope = false;
    std::vector<CompiledExpr> computed;
};

// Names are resolved against the template's declared fields and parameters: `{name}` is a field, else
// a parameter; unknown names become Unknown (printed as empty text). References that are expressions
// become Computed; one that cannot be read (the loader refuses such files) prints nothing.
Expression CompileExpression(std::string_view text, const Template& tmpl);
// A rule's condition; nullopt when it cannot be read.
std::optional<CompiledExpr> CompileCondition(std::string_view when, const Template& tmpl);

} // namespace verolux::reports
