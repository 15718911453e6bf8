#pragma once

#include "agent/reports/format/DateTime.h"

#include <string>
#include <string_view>

namespace verolux::reports::format::detail {

// True when the pattern holds a date or time letter (y M d H h m s, or aaa) outside quotes.
bool IsDateFormat(std::string_view pattern);
// Qt-style pattern: yyyy yy M MM MMM MMMM d dd ddd dddd H HH h hh m mm s ss z zzz AP ap,
// plus aaa/aaaa (一 / 星期一) and 上午/下午. Text in '…' or "…" is literal.
std::string FormatDateTime(const DateTime& value, std::string_view pattern);

} // namespace verolux::reports::format::detail
