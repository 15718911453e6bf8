#pragma once

#include <string_view>

namespace verolux {

// Without the blanks and tabs around it, as settings files and HTTP header lines are read.
inline std::string_view TrimBlanks(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t'))
        s.remove_suffix(1);
    return s;
}

} // namespace verolux
