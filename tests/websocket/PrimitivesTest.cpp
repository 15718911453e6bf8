#include "agent/websocket/SHA1.h"
#include "agent/websocket/UTF8.h"
#include "tests/websocket/FrameBuilder.h"

#include <gtest/gtest.h>
#include <openssl/sha.h>

#include <random>
#include <vector>

using wstest::hex;
using wstest::toHex;

namespace {

// Padding boundaries (55/56/63/64/119/120 bytes) and a long input, checked against OpenSSL.
TEST(Sha1, AgreesWithOpenSsl) {
    std::mt19937 rng(7);
    std::vector<std::string> inputs{std::string(1000000, 'a')};
    for (std::size_t len = 0; len <= 200; ++len) {
        inputs.emplace_back(len, '\0');
        for (auto& c : inputs.back())
            c = static_cast<char>(rng());
    }
    for (const std::string& data : inputs) {
        unsigned char ref[SHA_DIGEST_LENGTH];
        ::SHA1(reinterpret_cast<const unsigned char*>(data.data()), data.size(), ref);
        EXPECT_EQ(toHex(mSHA1::SHA1(data)), toHex(std::string(reinterpret_cast<char*>(ref), 20)))
            << "length " << data.size();
    }
}

struct Utf8Case {
    const char* name;
    std::string bytes;
    std::u16string text;
};

class Utf8Decode : public ::testing::TestWithParam<Utf8Case> {};

TEST_P(Utf8Decode, ReplacesIllFormedSequences) {
    EXPECT_EQ(mUTF8::Utf8ToString(GetParam().bytes), GetParam().text);
    // The UTF-8 that is delivered is the same text.
    EXPECT_EQ(mUTF8::SanitizeUtf8(GetParam().bytes), mUTF8::StringToUtf8(GetParam().text));
    EXPECT_TRUE(mUTF8::IsValidUtf8(mUTF8::SanitizeUtf8(GetParam().bytes)));
}

// Expected replacements follow the Unicode standard's "maximal subpart" practice (chapter 3,
// U+FFFD substitution), which the platform converters follow.
INSTANTIATE_TEST_SUITE_P(
    Cases, Utf8Decode,
    ::testing::Values(Utf8Case{"empty", "", u""}, Utf8Case{"ascii", "hello", u"hello"},
                      Utf8Case{"nihao", hex("E4 BD A0 E5 A5 BD"), u"你好"},
                      Utf8Case{"astral", hex("F0 9F 98 80"), u"\U0001F600"},
                      Utf8Case{"unicodeTable3_8", hex("61 F1 80 80 E1 80 C2 62 80 63 80 BF 64"),
                               u"a\uFFFD\uFFFD\uFFFDb\uFFFDc\uFFFD\uFFFDd"},
                      Utf8Case{"overlongNul", hex("C0 80"), u"\uFFFD\uFFFD"},
                      Utf8Case{"overlong3", hex("E0 80 AF"), u"\uFFFD\uFFFD\uFFFD"},
                      Utf8Case{"surrogate", hex("ED A0 80"), u"\uFFFD\uFFFD\uFFFD"},
                      Utf8Case{"aboveMax", hex("F4 90 80 80"), u"\uFFFD\uFFFD\uFFFD\uFFFD"},
                      Utf8Case{"truncatedAtEnd", hex("41 E4 BD"), u"A\uFFFD"},
                      Utf8Case{"strayFF", hex("FF 41"), u"\uFFFDA"},
                      Utf8Case{"literalReplacement", hex("EF BF BD"), u"\uFFFD"},
                      Utf8Case{"longAsciiThenBad", std::string(17, 'x') + hex("80"),
                               std::u16string(17, u'x') + u"\uFFFD"}),
    [](const auto& row) { return std::string(row.param.name); });

} // namespace
