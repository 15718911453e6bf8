#include "tests/reports/format/ValueDump.h"

#include "agent/reports/format/ValueFormat.h"

#include <gtest/gtest.h>

using namespace verolux::reports::format;
using verolux::ScalarValue;

namespace {

std::string Summary(const Aggregator& a) {
    return "count=" + std::to_string(a.count()) + " sum=" + Dump(a.sum()) + " avg=" + Dump(a.avg()) +
           " min=" + Dump(a.min()) + " max=" + Dump(a.max());
}

TEST(Aggregator, EmptyValuesAreSkipped) {
    Aggregator a;
    a.add(TypedValue::ofInteger(1));
    a.add(TypedValue::empty());
    a.add(TypedValue::ofInteger(2));
    EXPECT_EQ(Summary(a), "count=2 sum=Integer 3 avg=Decimal 1.5 min=Integer 1 max=Integer 2");
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

TEST(Aggregator, CurrencyAverageRoundsHalfAwayFromZero) {
    Aggregator a;
    for (const char* v : {"1", "2", "2"})
        a.add(ConvertValue(ScalarValue::fromText(v), FieldType::Currency));
    EXPECT_EQ(Dump(a.avg()), "Currency 1.6667"); // 5/3
    Aggregator b;
    for (const char* v : {"-1", "-2", "-2"})
        b.add(ConvertValue(ScalarValue::fromText(v), FieldType::Currency));
    EXPECT_EQ(Dump(b.avg()), "Currency -1.6667");
}

TEST(Aggregator, DecimalSumIsCompensated) {
    // Ten times 0.1 summed naively is 0.9999999999999999.
    Aggregator a;
    for (int i = 0; i < 10; ++i)
        a.add(TypedValue::ofDecimal(0.1));
    EXPECT_EQ(Dump(a.sum()), "Decimal 1");
}

TEST(Aggregator, MixedKindsWiden) {
    Aggregator intAndCurrency;
    intAndCurrency.add(TypedValue::ofInteger(2));
    intAndCurrency.add(TypedValue::ofCurrencyUnits(5000)); // 0.5
    EXPECT_EQ(Dump(intAndCurrency.sum()), "Currency 2.5000");

    Aggregator intAndDecimal;
    intAndDecimal.add(TypedValue::ofInteger(2));
    intAndDecimal.add(TypedValue::ofDecimal(0.25));
    EXPECT_EQ(Dump(intAndDecimal.sum()), "Decimal 2.25");

    Aggregator booleans;
    for (bool b : {true, false, true, true})
        booleans.add(TypedValue::ofBoolean(b));
    EXPECT_EQ(Summary(booleans), "count=4 sum=Integer 3 avg=Decimal 0.75 min=Boolean false max=Boolean true");
}

TEST(Aggregator, IntegerOverflowFallsBackToDecimal) {
    Aggregator a;
    a.add(TypedValue::ofInteger(INT64_MAX));
    a.add(TypedValue::ofInteger(1));
    EXPECT_EQ(Dump(a.sum()), "Decimal 9.2233720368547758e+18");
    Aggregator b;
    b.add(TypedValue::ofInteger(INT64_MAX));
    b.add(TypedValue::ofInteger(-1));
    EXPECT_EQ(Dump(b.sum()), "Integer 9223372036854775806");
}

TEST(Aggregator, TextsAndDatesHaveMinMaxButNoSum) {
    Aggregator texts;
    for (const char* s : {"pear", "apple", "zebra"})
        texts.add(TypedValue::ofText(s));
    EXPECT_EQ(Summary(texts), "count=3 sum=Empty avg=Empty min=Text apple max=Text zebra");

    Aggregator dates;
    dates.add(TypedValue::ofDateTime({2024, 3, 5}));
    dates.add(TypedValue::ofDateTime({2023, 12, 31, 23, 59, 59}));
    dates.add(TypedValue::ofDateTime({2024, 3, 5, 0, 0, 1}));
    EXPECT_EQ(Summary(dates), "count=3 sum=Empty avg=Empty min=DateTime 2023-12-31 23:59:59.000 "
                              "max=DateTime 2024-03-05 00:00:01.000");
}

TEST(Aggregator, ResultAndReset) {
    Aggregator a;
    a.add(TypedValue::ofInteger(4));
    a.add(TypedValue::ofInteger(-6));
    EXPECT_EQ(Dump(a.result(AggregateFunction::Sum)), "Integer -2");
    EXPECT_EQ(Dump(a.result(AggregateFunction::Count)), "Integer 2");
    EXPECT_EQ(Dump(a.result(AggregateFunction::Avg)), "Decimal -1");
    EXPECT_EQ(Dump(a.result(AggregateFunction::Min)), "Integer -6");
    EXPECT_EQ(Dump(a.result(AggregateFunction::Max)), "Integer 4");
    a.reset(); // as nothing added
    EXPECT_EQ(Summary(a), "count=0 sum=Empty avg=Empty min=Empty max=Empty");
    EXPECT_EQ(Dump(a.result(AggregateFunction::Count)), "Integer 0");
}

TEST(Aggregator, FunctionNames) {
    EXPECT_EQ(ParseAggregateFunction("sum"), AggregateFunction::Sum);
    EXPECT_EQ(ParseAggregateFunction("COUNT"), AggregateFunction::Count);
    EXPECT_EQ(ParseAggregateFunction("Avg"), AggregateFunction::Avg);
    EXPECT_EQ(ParseAggregateFunction("min"), AggregateFunction::Min);
    EXPECT_EQ(ParseAggregateFunction("max"), AggregateFunction::Max);
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
