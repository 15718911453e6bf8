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

// Expected replacements follow the Unicode standard's "maximal subpart" practice (chapter 3,
// U+FFFD substitution), which the platform converters follow.
TEST(Utf8Decode, ReplacesIllFormedSequences) {
    const std::pair<std::string, std::u16string> cases[] = {
        {"", u""},
        {hex("E4 BD A0 E5 A5 BD"), u"你好"},
        {hex("F0 9F 98 80"), u"\U0001F600"},
        {hex("61 F1 80 80 E1 80 C2 62 80 63 80 BF 64"),
         u"a\uFFFD\uFFFD\uFFFDb\uFFFDc\uFFFD\uFFFDd"},     // table 3-8
        {hex("C0 80"), u"\uFFFD\uFFFD"},                   // overlong NUL
        {hex("E0 80 AF"), u"\uFFFD\uFFFD\uFFFD"},          // overlong, three bytes
        {hex("ED A0 80"), u"\uFFFD\uFFFD\uFFFD"},          // surrogate
        {hex("F4 90 80 80"), u"\uFFFD\uFFFD\uFFFD\uFFFD"}, // above U+10FFFF
        {hex("41 E4 BD"), u"A\uFFFD"},                     // cut off at the end
        {hex("FF 41"), u"\uFFFDA"},
        {hex("EF BF BD"), u"\uFFFD"}, // a literal replacement character
        {std::string(17, 'x') + hex("80"), std::u16string(17, u'x') + u"\uFFFD"}};
    for (const auto& [bytes, text] : cases) {
        EXPECT_EQ(mUTF8::Utf8ToString(bytes), text) << toHex(bytes);
        // The UTF-8 that is delivered is the same text.
        EXPECT_EQ(mUTF8::SanitizeUtf8(bytes), mUTF8::StringToUtf8(text)) << toHex(bytes);
        EXPECT_TRUE(mUTF8::IsValidUtf8(mUTF8::SanitizeUtf8(bytes))) << toHex(bytes);
    }
}

// A cut never splits a character: it backs off to the start of the one the limit falls into.
TEST(Utf8, PrefixLength) {
    const std::string text = hex("61 62 E4 B8 AD F0 9F 98 80 63"); // a b 中 😀 c
    const std::size_t expected[] = {0, 1, 2, 2, 2, 5, 5, 5, 5, 9, 10, 10};
    for (std::size_t limit = 0; limit < std::size(expected); ++limit)
        EXPECT_EQ(mUTF8::Utf8PrefixLength(text, limit), expected[limit]) << "limit " << limit;
}

} // namespace
