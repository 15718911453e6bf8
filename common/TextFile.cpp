#include "common/TextFile.h"

#include <cctype>
#include <exception>
#include <fstream>
#include <iterator>

namespace verolux {

std::string ReadWholeFile(const std::filesystem::path& path) {
    // A folder opens but throws on reading (a policy path naming /etc/verolux, say): reads as "".
    try {
        std::ifstream in(path, std::ios::binary);
        if (!in) return {};
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    } catch (const std::exception&) {
        return {};
    }
}

bool IsTemporaryName(std::string_view name) {
    constexpr std::string_view kTemporarySuffix = ".XXXXXX";
    const std::size_t n = kTemporarySuffix.size();
    if (name.size() < n + 2 || name.front() != '.' || name[name.size() - n] != '.') return false;
    for (char c : name.substr(name.size() - n + 1))
        if (!std::isalnum(static_cast<unsigned char>(c))) return false;
    return true;
}

std::filesystem::path PathFromUtf8(std::string_view utf8) {
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

} // namespace verolux
