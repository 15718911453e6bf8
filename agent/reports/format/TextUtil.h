#pragma once

#include <string>
#include <string_view>

namespace verolux::reports::format::detail {

std::string_view Trim(std::string_view s);
std::string AsciiLower(std::string_view s);
bool EqualsIgnoreCase(std::string_view a, std::string_view b);

} // namespace verolux::reports::format::detail
