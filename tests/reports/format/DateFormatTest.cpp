#include "agent/reports/format/ValueFormat.h"

#include <gtest/gtest.h>

using namespace verolux::reports::format;

namespace {

// A Tuesday morning and a Wednesday afternoon.
constexpr DateTime kMorning{2024, 3, 5, 8, 5, 9, 123};
constexpr DateTime kAfternoon{2024, 12, 25, 15, 4, 0, 0};
constexpr DateTime kMidnight{2024, 1, 1, 0, 30, 0, 0};
constexpr DateTime kNoon{2024, 1, 1, 12, 0, 0, 0};
constexpr DateTime kDateOnly{2024, 3, 5, 0, 0, 0, 0};

TEST(DateFormat, Formats) {
    const struct {
        DateTime value;
        const char *format, *expected;
    } rows[] = {
        {kMorning, "yyyy-MM-dd HH:mm:ss", "2024-03-05 08:05:09"},
        {kMorning, "yyyy年M月d日", "2024年3月5日"},
        {kMorning, "yy-M-d H:m:s", "24-3-5 8:5:9"},
        {kMorning, "HH:mm:ss.zzz", "08:05:09.123"},
        {kMorning, "s.z", "9.123"},
        {kMorning, "h:mm AP", "8:05 AM"},
        {kAfternoon, "h:mm AP", "3:04 PM"},
        {kAfternoon, "hh:mm ap", "03:04 pm"},
        {kMidnight, "h:mm AP", "12:30 AM"},
        {kNoon, "h:mm AP", "12:00 PM"},
        {kAfternoon, "h:mm", "15:04"},
        {kAfternoon, "上午/下午h点mm分", "下午3点04分"},
        {kMorning, "上午/下午h:mm", "上午8:05"},
        {kMorning, "dddd, MMMM d, yyyy", "Tuesday, March 5, 2024"},
        {kAfternoon, "ddd d MMM", "Wed 25 Dec"},
        {kMorning, "aaaa", "星期二"},
        {kAfternoon, "周aaa", "周三"},
        {kMorning, "'at' HH", "at 08"},
        {kMorning, "\"day\" d", "day 5"},
        {kMorning, "'o''clock' H", "o'clock 8"},
        {kMorning, "H''", "8'"},
        {kMorning, "", "2024-03-05 08:05:09"},
        {kDateOnly, "", "2024-03-05"},
        {kMorning, "0.00", "2024-03-05 08:05:09"},
        {DateTime{1, 1, 1, 0, 0, 0, 0}, "yyyy-MM-dd", "0001-01-01"},
    };
    for (const auto& r : rows)
        EXPECT_EQ(FormatValue(TypedValue::ofDateTime(r.value), FieldType::DateTime, r.format), r.expected)
            << "format \"" << r.format << "\"";
    // A value built by hand with impossible fields must not index past the month names.
    EXPECT_EQ(FormatValue(TypedValue::ofDateTime(DateTime{2024, 13, 1}), FieldType::DateTime, "MMMM"), "");
    EXPECT_EQ(FormatValue(TypedValue::ofDateTime(DateTime{2024, 2, 30}), FieldType::DateTime, "dddd"), "");
}

} // namespace
