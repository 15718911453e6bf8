#include "agent/reports/format/DateTime.h"

#include <ctime>

namespace verolux::reports::format {

namespace {
bool IsLeap(int y) {
    return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

// Days since 1970-01-01 of a proleptic Gregorian date (H. Hinnant's algorithm).
std::int64_t DaysFromCivil(std::int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

void CivilFromDays(std::int64_t z, int& year, int& month, int& day) {
    z += 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const std::int64_t y = static_cast<std::int64_t>(yoe) + era * 400;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    year = static_cast<int>(y + (month <= 2));
}

std::int64_t FloorDiv(std::int64_t a, std::int64_t b) {
    std::int64_t q = a / b;
    if ((a % b != 0) && ((a < 0) != (b < 0))) --q;
    return q;
}
} // namespace

int DaysInMonth(int year, int month) {
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month < 1 || month > 12) return 0;
    return month == 2 && IsLeap(year) ? 29 : kDays[month - 1];
}

bool DateTime::isValid() const {
    return year >= 1 && year <= 9999 && month >= 1 && month <= 12 && day >= 1 &&
           day <= DaysInMonth(year, month) && hour >= 0 && hour <= 23 && minute >= 0 && minute <= 59 &&
           second >= 0 && second <= 59 && millisecond >= 0 && millisecond <= 999;
}

int DateTime::dayOfWeek() const {
    // 1970-01-01 was a Thursday (4).
    const std::int64_t days = DaysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day));
    return static_cast<int>(((days % 7) + 7 + 3) % 7) + 1;
}

DateTime DateTimeFromUnixMs(std::int64_t ms, int utcOffsetMinutes) {
    // Clamp to years 1..9999 so every result is a valid date.
    constexpr std::int64_t kMin = -62135596800000LL; // 0001-01-01T00:00:00Z
    constexpr std::int64_t kMax = 253402300799999LL; // 9999-12-31T23:59:59.999Z
    ms += static_cast<std::int64_t>(utcOffsetMinutes) * 60000;
    if (ms < kMin) ms = kMin;
    if (ms > kMax) ms = kMax;
    const std::int64_t days = FloorDiv(ms, 86400000);
    std::int64_t rest = ms - days * 86400000;
    DateTime dt;
    CivilFromDays(days, dt.year, dt.month, dt.day);
    dt.millisecond = static_cast<int>(rest % 1000);
    rest /= 1000;
    dt.second = static_cast<int>(rest % 60);
    rest /= 60;
    dt.minute = static_cast<int>(rest % 60);
    dt.hour = static_cast<int>(rest / 60);
    return dt;
}

std::optional<DateTime> DateTimeFromUnixMsLocal(std::int64_t ms) {
    const std::time_t seconds = static_cast<std::time_t>(FloorDiv(ms, 1000));
    std::tm local{};
    std::time_t probe = seconds;
    // Windows' C library takes no time before 1970: those take the clock's offset of 2 January 1970.
    if (!localtime_r(&probe, &local)) {
        probe = 86400;
        if (seconds >= 0 || !localtime_r(&probe, &local)) return std::nullopt;
    }
    // The offset from the local fields themselves: tm_gmtoff is not in every C library (Windows).
    const std::int64_t localSeconds =
        DaysFromCivil(local.tm_year + 1900, static_cast<unsigned>(local.tm_mon + 1),
                      static_cast<unsigned>(local.tm_mday)) *
            86400 +
        local.tm_hour * 3600 + local.tm_min * 60 + local.tm_sec;
    return DateTimeFromUnixMs(ms, static_cast<int>((localSeconds - static_cast<std::int64_t>(probe)) / 60));
}

} // namespace verolux::reports::format
