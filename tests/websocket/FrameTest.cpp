#include "agent/websocket/Frame.h"
#include "tests/websocket/FrameBuilder.h"

#include <gtest/gtest.h>

#include <random>

namespace {

using namespace mWSProtocol;
using wstest::hex;
using wstest::toHex;

// The word-at-a-time path against the byte-by-byte definition, at every phase and length.
TEST(UnmaskBytes, MatchesBytewiseXorAtEveryPhase) {
    std::mt19937 rng(3);
    const std::array<std::uint8_t, 4> key{0x01, 0x80, 0xFE, 0x5A};
    for (std::size_t phase = 0; phase < 4; ++phase) {
        for (std::size_t len = 0; len < 40; ++len) {
            std::string data(len, '\0');
            for (auto& c : data)
                c = static_cast<char>(rng());
            std::string expect = data;
            for (std::size_t i = 0; i < len; ++i)
                expect[i] = static_cast<char>(static_cast<std::uint8_t>(expect[i]) ^ key[(phase + i) % 4]);
            UnmaskBytes(data.data(), len, key, phase);
            EXPECT_EQ(data, expect) << "phase " << phase << " length " << len;
        }
    }
}

// The outbound frames: final, unmasked, in the shortest of the two length forms up to 65,535 bytes.
TEST(PackData, HeaderFormsAndLimits) {
    const std::pair<std::size_t, const char*> forms[] = {
        {1, "81 01"}, {125, "81 7D"}, {126, "81 7E 00 7E"}, {65535, "81 7E FF FF"}};
    for (const auto& [length, prefix] : forms) {
        const std::string payload(length, 'x');
        EXPECT_EQ(PackData(payload, 1), hex(prefix) + payload) << length;
    }
    EXPECT_THROW(PackData("", 1), std::length_error);
    EXPECT_THROW(PackData(std::string(65536, 'x'), 1), std::length_error);
    EXPECT_THROW(PackString(u"", 1), std::length_error);
    EXPECT_EQ(toHex(PackString(std::string_view("hello"), 1)), "81 05 68 65 6C 6C 6F");
    EXPECT_EQ(toHex(PackString(u"你好", 1)), "81 06 E4 BD A0 E5 A5 BD");
    EXPECT_EQ(toHex(PackString(std::u16string(1, char16_t(0xD800)), 1)), "81 03 EF BF BD"); // lone surrogate
    EXPECT_EQ(toHex(PongFrame()), "8A 00");
}

} // namespace
