#pragma once

#include "agent/reports/format/Aggregator.h"
#include "agent/reports/format/ExprSyntax.h"
#include "agent/reports/format/ExprValue.h"
#include "agent/reports/model/Template.h"

#include <string>
#include <vector>

namespace verolux::reports {

enum class AggregateScope : uint8_t { Default, Group, Page, Report };

// An expression with its names resolved against the template, ready to be evaluated row after row.
struct CompiledNode {
    enum class Kind : uint8_t {
        Constant,
        Field,
        Parameter,
        Unknown, // a name that is neither: empty
        PageNumber,
        RowNumber,
        GroupRowNumber,
        Now,
        Title,
        Aggregate,
        Unary,
        Binary,
        If,
        Call
    };
    Kind kind = Kind::Constant;
    format::expr::Op op = format::expr::Op::Add;
    format::AggregateFunction function = format::AggregateFunction::Sum;
    AggregateScope scope = AggregateScope::Default;
    int index = -1; // Field, Parameter
    int slot = -1;  // Aggregate: the evaluator's totals of its argument; -1 for count()
    format::expr::Value constant;
    std::string name;      // Call
    std::vector<int> args; // Aggregate: args[0] is the argument, evaluated per row
};

struct CompiledExpr {
    std::vector<CompiledNode> nodes;
    int root = -1;
    std::string source; // as written, for the log
    std::string where;  // the item it belongs to ("bands.detail.items[2]"), for the log
    bool usesPageScope = false;
};

// The AST must have passed CheckExpressionMeaning.
CompiledExpr CompileAst(const format::expr::Ast& ast, const Template& tmpl, std::string source);

} // namespace verolux::reports
