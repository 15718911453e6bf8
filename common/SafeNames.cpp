#include "common/SafeNames.h"

#include <cctype>

namespace verolux {

bool IsPlainFileName(std::string_view name) {
    if (name.empty() || name == "." || name == "..") return false;
    for (unsigned char c : name) {
        if (c < 0x20 || c == 0x7f || c == '/' || c == '\\' || c == ':') return false;
    }
    return true;
}

bool IsHttpUrl(std::string_view url) {
    auto startsWithNoCase = [&](std::string_view prefix) {
        if (url.size() < prefix.size()) return false;
        for (std::size_t i = 0; i < prefix.size(); ++i)
            if (std::tolower(static_cast<unsigned char>(url[i])) != prefix[i]) return false;
        return true;
    };
    std::string_view rest;
    if (startsWithNoCase("http://"))
        rest = url.substr(7);
    else if (startsWithNoCase("https://"))
        rest = url.substr(8);
    else
        return false;
    if (rest.empty() || rest[0] == '/' || rest[0] == '?' || rest[0] == '#') return false;
    for (unsigned char c : url)
        if (c < 0x20 || c == 0x7f) return false;
    return true;
}

} // namespace verolux
