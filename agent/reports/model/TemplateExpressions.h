#pragma once

#include "agent/reports/format/ExprSyntax.h"
#include "agent/reports/model/Template.h"

#include <string>
#include <string_view>
#include <vector>

namespace verolux::reports {

// How the body of a `{...}` reference is read. Plain: a name, `$name`, `#name` or an aggregate of one
// field (`sum(amount, group)`), read as references always were; Expression: anything else that parses;
// Unreadable: a body that looks like an expression and does not parse.
enum class ReferenceForm : uint8_t { Plain, Expression, Unreadable };

struct ClassifiedReference {
    ReferenceForm form = ReferenceForm::Plain;
    format::expr::ParseResult parsed; // Expression and Unreadable
};

ClassifiedReference ClassifyReference(std::string_view body, const Template& tmpl);

// What the meaning of a parsed expression lacks (unknown function, wrong argument count, unknown scope,
// an aggregate inside an aggregate): the offset and why; empty message if nothing. `condition`: a rule's
// `when`, which has no page count.
struct ExpressionFault {
    size_t pos = 0;
    std::string message;
};
ExpressionFault CheckExpressionMeaning(const format::expr::Ast& ast);

// A problem of one expression of a template, for the load error and the designer's checks list.
struct ExpressionProblem {
    std::string path; // "bands.detail.items[2].text", "groups[0].footer.items[1].rules[0].when"
    size_t character; // 1-based character (not byte) of the expression text where it is
    std::string message;
    // true: the expression cannot be read or means nothing (prints nothing; a load warning);
    // false: a name that is neither a field nor a parameter (that name prints nothing)
    bool broken = true;
    std::string describe() const; // "bands.detail.items[2].text: character 12: missing ')'"
};

// Every reference of every text and barcode item and every rule condition, in file order.
std::vector<ExpressionProblem> CheckExpressions(const Template& tmpl);

// The same for one item text (as typed in an editor; `path` left empty) or one rule condition.
std::vector<ExpressionProblem> CheckReferenceText(const std::string& text, const Template& tmpl);
std::vector<ExpressionProblem> CheckCondition(const std::string& when, const Template& tmpl);

// Fields declared as text that the text computes with: an operand of + - * / % or of a unary minus,
// or what sum() or avg() adds up. Once each, in order. Such a field's values add as numbers only
// where they read as one; declared a number, they print and sort as numbers too.
std::vector<std::string> TextFieldsInArithmetic(const std::string& text, const Template& tmpl);

} // namespace verolux::reports
