#pragma once

#include <compare>
#include <cstdint>
#include <optional>

namespace verolux::reports::format {

// A calendar date and wall-clock time, without time zone: what the page sent, as it will be printed.
struct DateTime {
    int year = 1970;
    int month = 1;  // 1..12
    int day = 1;    // 1..DaysInMonth
    int hour = 0;   // 0..23
    int minute = 0; // 0..59
    int second = 0; // 0..59
    int millisecond = 0;

    bool isValid() const;
    // 1 = Monday … 7 = Sunday.
    int dayOfWeek() const;
    bool hasTime() const { return hour != 0 || minute != 0 || second != 0 || millisecond != 0; }

    friend auto operator<=>(const DateTime&, const DateTime&) = default;
    friend bool operator==(const DateTime&, const DateTime&) = default;
};

int DaysInMonth(int year, int month);

// Unix time in milliseconds to the wall clock of the given offset east of UTC, in minutes.
DateTime DateTimeFromUnixMs(std::int64_t ms, int utcOffsetMinutes);
// Unix time in milliseconds to the wall clock of this machine's time zone (TZ / localtime).
std::optional<DateTime> DateTimeFromUnixMsLocal(std::int64_t ms);

} // namespace verolux::reports::format
