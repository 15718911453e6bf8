#pragma once

#include <string_view>

namespace verolux {

// A name that stays inside the folder it is joined to, on any platform: not empty, not "." or "..",
// no "/" or "\", no ":" (drive letters, alternate streams), no control characters.
bool IsPlainFileName(std::string_view name);

// An absolute http:// or https:// URL with a host (scheme letters in any case).
bool IsHttpUrl(std::string_view url);

} // namespace verolux
