#include "tests/reports/format/ValueDump.h"

#include "agent/reports/format/ValueFormat.h"

#include <gtest/gtest.h>

#include <vector>

using namespace verolux::reports::format;
using verolux::ScalarValue;

namespace {

std::string Summary(const Aggregator& a) {
    return "count=" + std::to_string(a.count()) + " sum=" + Dump(a.sum()) + " avg=" + Dump(a.avg()) +
           " min=" + Dump(a.min()) + " max=" + Dump(a.max());
}

// Each row: the values added, and what the aggregates give.
TEST(Aggregator, ValuesOfEachKind) {
    using V = TypedValue;
    const auto Money = [](const char* text) {
        return ConvertValue(ScalarValue::fromText(text), FieldType::Currency);
    };
    const struct {
        std::vector<TypedValue> values;
        const char* expected;
    } rows[] = {
        {{V::ofInteger(1), V::empty(), V::ofInteger(2)},
         "count=2 sum=Integer 3 avg=Decimal 1.5 min=Integer 1 max=Integer 2"},
        {{}, "count=0 sum=Empty avg=Empty min=Empty max=Empty"},
        // Currency averages round half away from zero, on both sides of it.
        {{Money("1"), Money("2"), Money("2")},
         "count=3 sum=Currency 5.0000 avg=Currency 1.6667 min=Currency 1.0000 max=Currency 2.0000"},
        {{Money("-1"), Money("-2"), Money("-2")},
         "count=3 sum=Currency -5.0000 avg=Currency -1.6667 min=Currency -2.0000 max=Currency -1.0000"},
        // Ten times 0.1 summed naively is 0.9999999999999999.
        {std::vector<TypedValue>(10, V::ofDecimal(0.1)),
         "count=10 sum=Decimal 1 avg=Decimal 0.10000000000000001 min=Decimal 0.10000000000000001 "
         "max=Decimal 0.10000000000000001"},
        {{V::ofInteger(2), V::ofCurrencyUnits(5000)},
         "count=2 sum=Currency 2.5000 avg=Currency 1.2500 min=Currency 0.5000 max=Integer 2"},
        {{V::ofInteger(2), V::ofDecimal(0.25)},
         "count=2 sum=Decimal 2.25 avg=Decimal 1.125 min=Decimal 0.25 max=Integer 2"},
        {{V::ofBoolean(true), V::ofBoolean(false), V::ofBoolean(true), V::ofBoolean(true)},
         "count=4 sum=Integer 3 avg=Decimal 0.75 min=Boolean false max=Boolean true"},
        {{V::ofInteger(INT64_MAX), V::ofInteger(1)},
         "count=2 sum=Decimal 9.2233720368547758e+18 avg=Decimal 4.6116860184273879e+18 min=Integer 1 "
         "max=Integer 9223372036854775807"},
        {{V::ofInteger(INT64_MAX), V::ofInteger(-1)},
         "count=2 sum=Integer 9223372036854775806 avg=Decimal 4.6116860184273879e+18 min=Integer -1 "
         "max=Integer 9223372036854775807"},
        {{V::ofText("pear"), V::ofText("apple"), V::ofText("zebra")},
         "count=3 sum=Empty avg=Empty min=Text apple max=Text zebra"},
        {{V::ofDateTime({2024, 3, 5}), V::ofDateTime({2023, 12, 31, 23, 59, 59}),
          V::ofDateTime({2024, 3, 5, 0, 0, 1})},
         "count=3 sum=Empty avg=Empty min=DateTime 2023-12-31 23:59:59.000 max=DateTime 2024-03-05 "
         "00:00:01.000"},
    };
    for (const auto& r : rows) {
        Aggregator a;
        for (const TypedValue& v : r.values)
            a.add(v);
        EXPECT_EQ(Summary(a), r.expected) << r.expected;
        for (const auto& [fn, value] : {std::pair{AggregateFunction::Sum, a.sum()},
                                        {AggregateFunction::Avg, a.avg()},
                                        {AggregateFunction::Min, a.min()},
                                        {AggregateFunction::Max, a.max()},
                                        {AggregateFunction::Count, TypedValue::ofInteger(a.count())}})
            EXPECT_EQ(Dump(a.result(fn)), Dump(value)) << r.expected;
        a.reset();
        EXPECT_EQ(Summary(a), "count=0 sum=Empty avg=Empty min=Empty max=Empty") << r.expected;
    }
}

TEST(Aggregator, CurrencyOver32767RowsIsExactToTheCent) {
    // Rows of 19.99 as a page sends them (number text), the report's maximum row count.
    // 32767 × 19.99 = 655,012.33 exactly; a double running sum would print 655012.33 only by luck.
    Aggregator a;
    for (int i = 0; i < 32767; ++i)
        a.add(ConvertValue(ScalarValue::fromNumber("19.99"), FieldType::Currency));
    EXPECT_EQ(Dump(a.sum()), "Currency 655012.3300");
    EXPECT_EQ(FormatValue(a.sum(), FieldType::Currency, "#,##0.00"), "655,012.33");
    EXPECT_EQ(FormatValue(a.sum(), FieldType::Currency, "大写金额"), "陆拾伍万伍仟零壹拾贰元叁角叁分");
}

TEST(Aggregator, FunctionNames) {
    for (const auto& [name, fn] : {std::pair{"sum", AggregateFunction::Sum},
                                   {"COUNT", AggregateFunction::Count},
                                   {"Avg", AggregateFunction::Avg},
                                   {"min", AggregateFunction::Min},
                                   {"max", AggregateFunction::Max}})
        EXPECT_EQ(ParseAggregateFunction(name), fn);
    EXPECT_EQ(ParseAggregateFunction("average"), std::nullopt);
}

TEST(CompareValues, OrderAcrossKinds) {
    const TypedValue two = TypedValue::ofInteger(2);
    EXPECT_EQ(CompareValues(two, TypedValue::ofCurrencyUnits(20000)), 0);
    EXPECT_LT(CompareValues(two, TypedValue::ofDecimal(2.5)), 0);
    EXPECT_GT(CompareValues(two, TypedValue::ofBoolean(true)), 0);
    EXPECT_LT(CompareValues(TypedValue::empty(), two), 0);
    EXPECT_LT(CompareValues(two, TypedValue::ofDateTime({2024, 1, 1})), 0);
    EXPECT_LT(CompareValues(TypedValue::ofDateTime({2024, 1, 1}), TypedValue::ofText("")), 0);
    EXPECT_EQ(CompareValues(TypedValue::empty(), TypedValue::empty()), 0);
    // Exact: these two differ by one ten-thousandth beyond double precision of the integer.
    EXPECT_LT(
        CompareValues(TypedValue::ofCurrencyUnits(INT64_MAX - 1), TypedValue::ofCurrencyUnits(INT64_MAX)), 0);
}

} // namespace
