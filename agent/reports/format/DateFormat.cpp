#include "agent/reports/format/DateFormat.h"

#include <algorithm>
#include <array>

namespace verolux::reports::format::detail {

namespace {
constexpr std::array<std::string_view, 12> kMonthShort{"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                       "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
constexpr std::array<std::string_view, 12> kMonthLong{"January",   "February", "March",    "April",
                                                      "May",       "June",     "July",     "August",
                                                      "September", "October",  "November", "December"};
constexpr std::array<std::string_view, 7> kDayShort{"Mon", "Tue", "Wed", "Thu", "Fri", "Sat", "Sun"};
constexpr std::array<std::string_view, 7> kDayLong{"Monday", "Tuesday",  "Wednesday", "Thursday",
                                                   "Friday", "Saturday", "Sunday"};
constexpr std::array<std::string_view, 7> kDayChinese{"一", "二", "三", "四", "五", "六", "日"};
constexpr std::string_view kChineseAmPm = "上午/下午";

bool IsDateLetter(char c) {
    return c == 'y' || c == 'M' || c == 'd' || c == 'H' || c == 'h' || c == 'm' || c == 's';
}

std::string Padded(int value, int width) {
    std::string digits = std::to_string(value < 0 ? -value : value);
    if (static_cast<int>(digits.size()) < width)
        digits.insert(0, static_cast<size_t>(width) - digits.size(), '0');
    return value < 0 ? "-" + digits : digits;
}

bool HasAmPm(std::string_view pattern) {
    if (pattern.find(kChineseAmPm) != std::string_view::npos) return true;
    for (size_t i = 0; i + 1 < pattern.size(); ++i)
        if ((pattern[i] == 'A' || pattern[i] == 'a') && (pattern[i + 1] == 'P' || pattern[i + 1] == 'p'))
            return true;
    return false;
}
} // namespace

bool IsDateFormat(std::string_view pattern) {
    char quote = 0;
    for (size_t i = 0; i < pattern.size(); ++i) {
        const char c = pattern[i];
        if (quote) {
            if (c == quote) quote = 0;
        } else if (c == '\'' || c == '"') {
            quote = c;
        } else if (IsDateLetter(c) || pattern.substr(i).starts_with("aaa")) {
            return true;
        }
    }
    return false;
}

std::string FormatDateTime(const DateTime& v, std::string_view pattern) {
    const bool twelveHour = HasAmPm(pattern);
    const int dayIndex = v.dayOfWeek() - 1;
    std::string out;
    size_t i = 0;
    while (i < pattern.size()) {
        const char c = pattern[i];
        if (c == '\'' || c == '"') {
            // Quoted literal; '' inside single quotes (or on its own) is one quote.
            if (c == '\'' && i + 1 < pattern.size() && pattern[i + 1] == '\'') {
                out += '\'';
                i += 2;
                continue;
            }
            size_t j = i + 1;
            while (j < pattern.size()) {
                if (pattern[j] == c) {
                    if (c == '\'' && j + 1 < pattern.size() && pattern[j + 1] == '\'') {
                        out += '\'';
                        j += 2;
                        continue;
                    }
                    break;
                }
                out += pattern[j++];
            }
            i = j + 1;
            continue;
        }
        if (pattern.substr(i).starts_with(kChineseAmPm)) {
            out += v.hour < 12 ? "上午" : "下午";
            i += kChineseAmPm.size();
            continue;
        }
        if ((c == 'A' || c == 'a') && i + 1 < pattern.size() &&
            (pattern[i + 1] == 'P' || pattern[i + 1] == 'p')) {
            const bool upper = c == 'A';
            out += v.hour < 12 ? (upper ? "AM" : "am") : (upper ? "PM" : "pm");
            i += 2;
            continue;
        }
        size_t run = 1;
        while (i + run < pattern.size() && pattern[i + run] == c)
            ++run;
        const int n = static_cast<int>(run);
        switch (c) {
        case 'y':
            out += n >= 4 ? Padded(v.year, 4) : n >= 2 ? Padded(v.year % 100, 2) : std::to_string(v.year);
            break;
        case 'M':
            out += n >= 4   ? std::string(kMonthLong[static_cast<size_t>(v.month - 1)])
                   : n == 3 ? std::string(kMonthShort[static_cast<size_t>(v.month - 1)])
                            : Padded(v.month, n);
            break;
        case 'd':
            out += n >= 4   ? std::string(kDayLong[static_cast<size_t>(dayIndex)])
                   : n == 3 ? std::string(kDayShort[static_cast<size_t>(dayIndex)])
                            : Padded(v.day, n);
            break;
        case 'a':
            if (n >= 3) {
                if (n >= 4) out += "星期";
                out += kDayChinese[static_cast<size_t>(dayIndex)];
            } else {
                out.append(run, c);
            }
            break;
        case 'H':
            out += Padded(v.hour, std::min(n, 2));
            break;
        case 'h': {
            int hour = v.hour;
            if (twelveHour) {
                hour %= 12;
                if (hour == 0) hour = 12;
            }
            out += Padded(hour, std::min(n, 2));
            break;
        }
        case 'm':
            out += Padded(v.minute, std::min(n, 2));
            break;
        case 's':
            out += Padded(v.second, std::min(n, 2));
            break;
        case 'z':
            if (n >= 2) {
                out += Padded(v.millisecond, 3);
            } else {
                std::string ms = Padded(v.millisecond, 3);
                while (ms.size() > 1 && ms.back() == '0')
                    ms.pop_back();
                out += ms;
            }
            break;
        default:
            out.append(pattern.substr(i, run));
            break;
        }
        i += run;
    }
    return out;
}

} // namespace verolux::reports::format::detail
