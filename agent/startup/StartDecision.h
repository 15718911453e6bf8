#pragma once

#include <string_view>

namespace mMain {

inline constexpr std::string_view kAppInfo = "AppInfo";
inline constexpr std::string_view kVerolux = "Verolux";

// Only the exact one-character text "1" means yes; " 1", "01", "true" mean no.
inline bool IsYes(std::string_view value) {
    return value == "1";
}

// Whether this process becomes the running agent: a start request from the launcher while no other
// copy runs, or the forced start.
inline bool StartCondition(std::string_view show, std::string_view foceShow, bool previousInstance) {
    return (IsYes(show) && !previousInstance) || IsYes(foceShow);
}

} // namespace mMain
