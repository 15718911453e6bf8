#include "common/FolderKey.h"

#include <algorithm>
#include <cstdint>
#include <cwctype>

namespace verolux {

std::wstring FolderKey(const std::filesystem::path& programFolder) {
    std::wstring folder = std::filesystem::absolute(programFolder).lexically_normal().wstring();
    std::transform(folder.begin(), folder.end(), folder.begin(),
                   [](wchar_t c) { return static_cast<wchar_t>(std::towlower(c)); });
    std::uint64_t hash = 14695981039346656037ULL; // FNV-1a
    for (wchar_t c : folder) {
        hash ^= static_cast<std::uint16_t>(c);
        hash *= 1099511628211ULL;
    }
    std::wstring text(16, L'0');
    for (int i = 15; i >= 0; --i, hash >>= 4)
        text[std::size_t(i)] = L"0123456789abcdef"[hash & 15];
    return text;
}

} // namespace verolux
