#include "agent/reports/format/ValueFormat.h"

#include "tests/reports/format/ValueDump.h"

#include <gtest/gtest.h>

using namespace verolux::reports::format;

namespace {

struct DateCase {
    std::string name;
    DateTime value;
    std::string format;
    std::string expected;
};

// A Tuesday morning and a Wednesday afternoon.
constexpr DateTime kMorning{2024, 3, 5, 8, 5, 9, 123};
constexpr DateTime kAfternoon{2024, 12, 25, 15, 4, 0, 0};
constexpr DateTime kMidnight{2024, 1, 1, 0, 30, 0, 0};
constexpr DateTime kNoon{2024, 1, 1, 12, 0, 0, 0};
constexpr DateTime kDateOnly{2024, 3, 5, 0, 0, 0, 0};

class DateFormatTest : public ::testing::TestWithParam<DateCase> {};

TEST_P(DateFormatTest, Formats) {
    const DateCase& c = GetParam();
    EXPECT_EQ(FormatValue(TypedValue::ofDateTime(c.value), FieldType::DateTime, c.format), c.expected)
        << "format \"" << c.format << "\"";
}

const DateCase kCases[] = {
    {"iso_like", kMorning, "yyyy-MM-dd HH:mm:ss", "2024-03-05 08:05:09"},
    {"chinese_date", kMorning, "yyyy年M月d日", "2024年3月5日"},
    {"short_fields", kMorning, "yy-M-d H:m:s", "24-3-5 8:5:9"},
    {"milliseconds", kMorning, "HH:mm:ss.zzz", "08:05:09.123"},
    {"milliseconds_short", kMorning, "s.z", "9.123"},
    {"twelve_hour_am", kMorning, "h:mm AP", "8:05 AM"},
    {"twelve_hour_pm", kAfternoon, "h:mm AP", "3:04 PM"},
    {"twelve_hour_lower", kAfternoon, "hh:mm ap", "03:04 pm"},
    {"twelve_hour_midnight", kMidnight, "h:mm AP", "12:30 AM"},
    {"twelve_hour_noon", kNoon, "h:mm AP", "12:00 PM"},
    {"h_without_ampm_is_24h", kAfternoon, "h:mm", "15:04"},
    {"chinese_ampm", kAfternoon, "上午/下午h点mm分", "下午3点04分"},
    {"chinese_ampm_morning", kMorning, "上午/下午h:mm", "上午8:05"},
    {"english_names", kMorning, "dddd, MMMM d, yyyy", "Tuesday, March 5, 2024"},
    {"english_short_names", kAfternoon, "ddd d MMM", "Wed 25 Dec"},
    {"chinese_weekday", kMorning, "aaaa", "星期二"},
    {"chinese_weekday_short", kAfternoon, "周aaa", "周三"},
    {"quoted_letters", kMorning, "'at' HH", "at 08"},
    {"double_quoted_letters", kMorning, "\"day\" d", "day 5"},
    {"escaped_quote", kMorning, "'o''clock' H", "o'clock 8"},
    {"lone_quote_pair", kMorning, "H''", "8'"},
    {"default_with_time", kMorning, "", "2024-03-05 08:05:09"},
    {"default_date_only", kDateOnly, "", "2024-03-05"},
    {"number_format_ignored", kMorning, "0.00", "2024-03-05 08:05:09"},
    {"year_one", DateTime{1, 1, 1, 0, 0, 0, 0}, "yyyy-MM-dd", "0001-01-01"},
};

INSTANTIATE_TEST_SUITE_P(Dates, DateFormatTest, ::testing::ValuesIn(kCases),
                         [](const auto& row) { return SafeTestName(row.param.name); });

TEST(DateFormatGuards, InvalidDateTimePrintsNothing) {
    // A value built by hand with impossible fields must not index past the month names.
    EXPECT_EQ(FormatValue(TypedValue::ofDateTime(DateTime{2024, 13, 1}), FieldType::DateTime, "MMMM"), "");
    EXPECT_EQ(FormatValue(TypedValue::ofDateTime(DateTime{2024, 2, 30}), FieldType::DateTime, "dddd"), "");
}

} // namespace
