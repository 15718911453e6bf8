#include "agent/websocket/Frame.h"
#include "tests/websocket/FrameBuilder.h"

#include <gtest/gtest.h>

#include <random>

namespace {

using namespace mWSProtocol;
using wstest::hex;
using wstest::toHex;

const std::string kKey = "37 FA 21 3D ";

using Outcome = HeaderResult::Outcome;

struct HeaderCase {
    const char* name;
    std::string bytes;
    bool fin;
    std::int32_t opcode;
    bool mask;
    std::int32_t payloadlen;
    std::int32_t dataOffset;
};

class AnalyzeHeaderCases : public ::testing::TestWithParam<HeaderCase> {};

TEST_P(AnalyzeHeaderCases, Decodes) {
    const auto& c = GetParam();
    const HeaderResult r = AnalyzeHeader(c.bytes);
    ASSERT_EQ(r.outcome, Outcome::Header);
    EXPECT_EQ(r.header.FIN, c.fin);
    EXPECT_EQ(r.header.Opcode, c.opcode);
    EXPECT_EQ(r.header.MASK, c.mask);
    EXPECT_EQ(r.header.Payloadlen, c.payloadlen);
    EXPECT_EQ(r.header.DataOffset, c.dataOffset);
}

INSTANTIATE_TEST_SUITE_P(
    Frames, AnalyzeHeaderCases,
    ::testing::Values(HeaderCase{"maskedText5", hex("81 85" + kKey + "00 00 00 00 00"), true, 1, true, 5, 6},
                      HeaderCase{"len16", hex("81 FE 01 00" + kKey), true, 1, true, 256, 8},
                      HeaderCase{"len64", hex("82 FF 00 00 00 00 00 01 00 00" + kKey), true, 2, true, 65536,
                                 14},
                      HeaderCase{"len64Int32Max", hex("81 FF 00 00 00 00 7F FF FF FF" + kKey), true, 1, true,
                                 2147483647, 14},
                      // RSV1 stays in the opcode: 0x41 = 65.
                      HeaderCase{"rsv1", hex("C1 85" + kKey), true, 65, true, 5, 6},
                      HeaderCase{"unmaskedNotFinal", hex("01 03 61 62 63"), false, 1, false, 3, 2},
                      HeaderCase{"emptyClose", hex("88 80" + kKey), true, 8, true, 0, 6}),
    [](const auto& row) { return std::string(row.param.name); });

// A header cut off anywhere needs more bytes; it is never decoded from what is there.
TEST(AnalyzeHeader, CutOffHeadersNeedMoreBytes) {
    for (const std::string& full :
         {hex("81 85" + kKey), hex("81 FE 01 00" + kKey), hex("82 FF 00 00 00 00 00 01 00 00" + kKey)}) {
        for (std::size_t len = 0; len < full.size(); ++len)
            EXPECT_EQ(AnalyzeHeader(std::string_view(full).substr(0, len)).outcome, Outcome::NeedMore)
                << toHex(full) << " cut at " << len;
        EXPECT_EQ(AnalyzeHeader(full).outcome, Outcome::Header);
    }
}

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
    EXPECT_EQ(toHex(PongFrame()), "8A 00");
}

} // namespace
