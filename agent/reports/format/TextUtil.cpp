#include "agent/reports/format/TextUtil.h"

namespace verolux::reports::format::detail {

namespace {
bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v';
}
char Lower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}
} // namespace

std::string_view Trim(std::string_view s) {
    while (!s.empty() && IsBlank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && IsBlank(s.back()))
        s.remove_suffix(1);
    // Full-width blank (U+3000), as typed with a Chinese input method.
    constexpr std::string_view ideographicSpace = "\xE3\x80\x80";
    if (s.starts_with(ideographicSpace) || s.ends_with(ideographicSpace)) {
        while (s.starts_with(ideographicSpace))
            s.remove_prefix(ideographicSpace.size());
        while (s.ends_with(ideographicSpace))
            s.remove_suffix(ideographicSpace.size());
        return Trim(s);
    }
    return s;
}

std::string AsciiLower(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        c = Lower(c);
    return out;
}

bool EqualsIgnoreCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (Lower(a[i]) != Lower(b[i])) return false;
    return true;
}

} // namespace verolux::reports::format::detail
