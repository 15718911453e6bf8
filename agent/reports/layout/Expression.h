#pragma once

#include "agent/reports/format/Aggregator.h"
#include "agent/reports/model/Template.h"

#include <string>
#include <string_view>
#include <vector>

namespace verolux::reports {

enum class AggregateScope : uint8_t { Default, Group, Page, Report };

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
        Unknown
    };
    Kind kind = Kind::Literal;
    std::string text; // literal text, or the display format written after '|'
    bool hasFormat = false;
    int index = -1; // field or parameter index; aggregate: field index, -1 for count()
    format::AggregateFunction function = format::AggregateFunction::Sum;
    AggregateScope scope = AggregateScope::Default;
};

// An item's text compiled once per report: "客户：{customer}" → [Literal "客户：", Field 0].
struct Expression {
    std::vector<Segment> segments;
    bool literalOnly = true; // nothing to evaluate: the text is segments[0].text (or empty)
    bool usesPageCount = false;
    bool usesPageScope = false;
};

// Names are resolved against the template's declared fields and parameters: `{name}` is a field, else
// a parameter; unknown names become Unknown (printed as empty text).
Expression CompileExpression(std::string_view text, const Template& tmpl);

} // namespace verolux::reports
