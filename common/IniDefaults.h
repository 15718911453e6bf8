#pragma once

#include <string>
#include <string_view>

namespace mINI {

// An administrator's defaults file (/etc/verolux/verolux.ini on an installed desktop) applied to a
// user's settings: every key the defaults give a value is written where the user's text reads ""
// (missing or empty, which the programs treat alike); a user's own value is never replaced. Names
// and values follow LookupValue's rules on both sides. Pure.
std::string MergeDefaults(std::string_view userText, std::string_view defaultsText);

} // namespace mINI
