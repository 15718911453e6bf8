#include "common/Utf8Decode.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct DecodeCase {
    const char* name;
    std::string bytes;
    std::vector<char32_t> codePoints; // from the Unicode tables, by hand
};

const DecodeCase kDecodes[] = {
    {"ascii", "Ab1", {U'A', U'b', U'1'}},
    {"twoBytes", "\xc3\xa9", {0xE9}},                             // é
    {"threeBytes", "\xe6\x8a\xa5\xe8\xa1\xa8", {0x62A5, 0x8868}}, // 报表
    {"fourBytes", "\xf0\x9f\x98\x80", {0x1F600}},                 // 😀
    {"mixed",
     "a\xe4\xb8\xad"
     "b",
     {U'a', 0x4E2D, U'b'}},
    // Lenient: what cannot be read is one character per byte with the byte's value.
    {"cutAtEnd", "a\xe4\xb8", {U'a', 0xE4, 0xB8}},
    {"strayContinuation", "\x80z", {0x80, U'z'}},
    {"invalidLead", "\xff", {0xFF}},
};

class Utf8DecodeSteps : public ::testing::TestWithParam<DecodeCase> {};

TEST_P(Utf8DecodeSteps, ReadsEachCharacterOnce) {
    const std::string& s = GetParam().bytes;
    std::vector<char32_t> got;
    for (std::size_t i = 0; i < s.size();) {
        char32_t cp = 0;
        const std::size_t n = verolux::DecodeUtf8(s, i, cp);
        ASSERT_GE(n, 1u);
        ASSERT_LE(i + n, s.size());
        got.push_back(cp);
        i += n;
    }
    EXPECT_EQ(got, GetParam().codePoints);
}

INSTANTIATE_TEST_SUITE_P(Texts, Utf8DecodeSteps, ::testing::ValuesIn(kDecodes),
                         [](const auto& row) { return std::string(row.param.name); });

} // namespace
