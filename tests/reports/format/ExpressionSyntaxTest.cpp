// Expression syntax and exact decimals, without any template.
#include "agent/reports/format/Decimal.h"
#include "agent/reports/format/ExprSyntax.h"
#include "agent/reports/format/ExprValue.h"

#include <gtest/gtest.h>

#include <string>

using namespace verolux::reports::format;

namespace {

Decimal D(const char* text) {
    return *Decimal::parse(text);
}

} // namespace

TEST(ExpressionSyntax, ReadableExpressionsParse) {
    for (const char* text :
         {"quantity*price", "sum(quantity*price)", "round(price*1.13, 2)",
          "if(amount>=10000, \"大额\", \"\")", "name & ' (' & city & ')'", "not (a = 1 or b <> 2) and c",
          "-x + +3 % 2", "sum(amount, group)", "count()", "$rate * 100", "#row % 2 = 0", "金额 * 2",
          "'it''s'", "1.5 <= .5", "!paid", "TRUE and False"}) {
        const auto r = expr::ParseExpression(text);
        EXPECT_TRUE(r) << text << ": " << (r ? "" : r.error->message);
    }
}

TEST(ExpressionSyntax, UnreadableExpressionsSayWhereAndWhy) {
    const struct {
        const char* text;
        size_t pos;
        const char* message;
    } cases[] = {
        {"quantity**price", 9, "expected a value instead of '*'"},
        {"(a + b", 0, "missing ')'"},
        {"round(a, 2", 10, "expected ',' or ')' instead of 'end'"},
        {"\"open", 0, "the text has no closing quote"},
        {"a = b = c", 6, "comparisons do not chain: use and"},
        {"1.", 2, "expected a digit after the point"},
        {"2x", 1, "a number runs into a name"},
        {"a ; b", 2, "unexpected character ';'"},
        {"a b", 2, "unexpected 'b'"},
        {"", 0, "expected a value"},
        {"a and", 5, "expected a value"},
        {"$", 0, "expected a name after '$'"},
    };
    for (const auto& c : cases) {
        const auto r = expr::ParseExpression(c.text);
        ASSERT_FALSE(r) << c.text;
        EXPECT_EQ(r.error->pos, c.pos) << c.text;
        EXPECT_EQ(r.error->message, c.message) << c.text;
    }
}

TEST(ExpressionSyntax, DeepNestingIsRefusedNotRecursedInto) {
    const std::string deep = std::string(100000, '(') + "1" + std::string(100000, ')');
    const auto r = expr::ParseExpression(deep);
    ASSERT_FALSE(r);
    EXPECT_EQ(r.error->message, "the expression is nested too deeply");
    EXPECT_FALSE(expr::ParseExpression(std::string(100000, '-') + "1"));
    std::string chain = "1";
    for (int i = 0; i < 100000; ++i)
        chain += "+1";
    EXPECT_FALSE(expr::ParseExpression(chain));
    chain = "1";
    for (int i = 0; i < expr::kMaxExpressionTreeDepth; ++i)
        chain += "+1";
    EXPECT_EQ(expr::ParseExpression(chain).error->message, "the expression is nested too deeply");
}

TEST(ExpressionSyntax, WhatLooksLikeAnExpression) {
    for (const char* body : {"a+b", "f(x)", "\"text\"", "'text'", "a,b", "a&b", "a<b", "!a"})
        EXPECT_TRUE(expr::LooksLikeExpression(body)) << body;
    for (const char* body : {"name", "foo bar", "#page", "$rate", "金额"})
        EXPECT_FALSE(expr::LooksLikeExpression(body)) << body;
}

// avg over what reads as a number: other text counts in count() only.
TEST(ExpressionValues, AverageSkipsTextThatIsNoNumber) {
    expr::Total t;
    for (const expr::Value& v :
         {expr::Value::ofNumber(D("2")), expr::Value::ofText("abc"), expr::Value::ofText("4"), expr::Value{}})
        t.add(v);
    EXPECT_EQ(expr::PlainText(t.result(2)), "3");
    EXPECT_EQ(expr::PlainText(t.result(1)), "3");
    EXPECT_EQ(expr::PlainText(t.result(0)), "6");
}

TEST(ExpressionSyntax, TextSplitsIntoLiteralsAndReferences) {
    const auto pieces = expr::SplitTemplateText("a {{b}} {if(x, \"}|\", 'y')|0.00} {n|#} {open");
    ASSERT_EQ(pieces.size(), 5u);
    EXPECT_EQ(pieces[0].literal, "a {b} ");
    EXPECT_EQ(pieces[1].body, "if(x, \"}|\", 'y')");
    EXPECT_EQ(pieces[1].format, "0.00");
    EXPECT_EQ(pieces[1].offset, 9u);
    EXPECT_EQ(pieces[3].body, "n");
    EXPECT_EQ(pieces[3].format, "#");
    EXPECT_EQ(pieces[4].literal, " {open");
}

TEST(Decimal, ArithmeticIsExact) {
    const struct {
        const char* a;
        char op;
        const char* b;
        const char* result;
    } cases[] = {
        {"0.1", '+', "0.2", "0.3"},
        {"1.10", '-', "0.1", "1"},
        {"19.99", '*', "3", "59.97"},
        {"1", '/', "3", "0.3333333333"},
        {"2", '/', "3", "0.6666666667"},
        {"-2", '/', "3", "-0.6666666667"},
        {"10", '/', "4", "2.5"},
        {"7", '%', "3", "1"},
        {"-7.5", '%', "2", "-1.5"},
        {"123456789012345678", '*', "1000", "123456789012345678000"},
        {"0.000000001", '*', "0.000000001", "0.000000000000000001"},
        {"0.0000000001", '*', "0.0000000001", "0"},
    };
    for (const auto& c : cases) {
        std::optional<Decimal> r;
        switch (c.op) {
        case '+':
            r = D(c.a).add(D(c.b));
            break;
        case '-':
            r = D(c.a).subtract(D(c.b));
            break;
        case '*':
            r = D(c.a).multiply(D(c.b));
            break;
        case '/':
            r = D(c.a).divide(D(c.b));
            break;
        default:
            r = D(c.a).remainder(D(c.b));
        }
        ASSERT_TRUE(r) << c.a << c.op << c.b;
        EXPECT_EQ(r->toString(), c.result) << c.a << c.op << c.b;
    }
}

TEST(Decimal, RoundsHalfAwayFromZeroAndRefusesOverflow) {
    EXPECT_EQ(D("2.675").round(2)->toString(), "2.68");
    EXPECT_EQ(D("-2.5").round(0)->toString(), "-3");
    EXPECT_EQ(D("1250").round(-2)->toString(), "1300");
    EXPECT_FALSE(D("1").divide(D("0")));
    const Decimal big = D("99999999999999999999999999999999999999");
    EXPECT_FALSE(big.add(big));
    EXPECT_FALSE(big.multiply(D("10")));
    EXPECT_LT(Compare(D("-1e20"), D("0.000000000000000001")), 0);
    EXPECT_GT(Compare(big, D("0.5")), 0);
}
