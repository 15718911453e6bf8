#include "common/Utf8Decode.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// Code points from the Unicode tables, by hand. Lenient: what cannot be read (cut at the end, a stray
// continuation byte, an invalid lead) is one character per byte with the byte's value.
TEST(Utf8Decode, ReadsEachCharacterOnce) {
    const std::pair<std::string, std::vector<char32_t>> cases[] = {
        {"Ab1", {U'A', U'b', U'1'}},
        {"\xc3\xa9", {0xE9}},                           // é
        {"\xe6\x8a\xa5\xe8\xa1\xa8", {0x62A5, 0x8868}}, // 报表
        {"\xf0\x9f\x98\x80", {0x1F600}},                // 😀
        {"a中b", {U'a', 0x4E2D, U'b'}},
        {"a\xe4\xb8", {U'a', 0xE4, 0xB8}},
        {"\x80z", {0x80, U'z'}},
        {"\xff", {0xFF}},
    };
    for (const auto& [s, codePoints] : cases) {
        std::vector<char32_t> got;
        for (std::size_t i = 0; i < s.size();) {
            char32_t cp = 0;
            const std::size_t n = verolux::DecodeUtf8(s, i, cp);
            ASSERT_GE(n, 1u);
            ASSERT_LE(i + n, s.size());
            got.push_back(cp);
            i += n;
        }
        EXPECT_EQ(got, codePoints) << s;
    }
}

} // namespace
