// Settings texts: whatever the file holds, a value written under a key reads back as written (blanks
// around it dropped, quotes taken off, cut to the limit), writing it again changes nothing, and a key
// of another section keeps its value.
#include "common/IniText.h"
#include "tests/fuzz/FuzzTarget.h"

#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>

namespace {

std::string_view trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t'))
        s.remove_suffix(1);
    return s;
}

// What reading gives for a written value: one line, no outer blanks, outer quotes taken off, cut.
std::string expectedRead(std::string value) {
    std::replace_if(
        value.begin(), value.end(), [](char c) { return c == '\r' || c == '\n'; }, ' ');
    std::string_view v = trim(value);
    if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
        v = v.substr(1, v.size() - 2);
    return mINI::CutUtf8(v, mINI::kMaxValueBytes);
}

} // namespace

// Input: "key\0value\0file text". The key is a template name as a page may send it (any bytes but
// line breaks and NUL); sections are the ones the programs use.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const std::size_t k = input.find('\0');
    if (k == std::string_view::npos) return 0;
    const std::size_t v = input.find('\0', k + 1);
    if (v == std::string_view::npos) return 0;
    const std::string_view key = input.substr(0, k);
    const std::string_view value = input.substr(k + 1, v - k - 1);
    const std::string_view text = input.substr(v + 1);
    if (key.find_first_of("\r\n") != std::string_view::npos || trim(key).empty()) return 0;

    check(mINI::LookupValue(text, "fileUrl", key).size() <= mINI::kMaxValueBytes);
    const std::string before = mINI::LookupValue(text, "AppInfo", "PrintVer");

    const std::string once = mINI::ReplaceValue(text, "fileUrl", key, value);
    check(mINI::LookupValue(once, "fileUrl", key) == expectedRead(std::string(value)));
    check(mINI::ReplaceValue(once, "fileUrl", key, value) == once);
    check(mINI::LookupValue(once, "AppInfo", "PrintVer") == before);
    return 0;
}
