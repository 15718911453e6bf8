#include "agent/websocket/Frame.h"
#include "tests/websocket/FrameBuilder.h"

#include <gtest/gtest.h>

#include <random>

namespace {

using namespace mWSProtocol;
using wstest::hex;
using wstest::toHex;

const std::string kKey = "37 FA 21 3D ";

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
    const auto h = AnalyzeHeader(c.bytes);
    ASSERT_TRUE(h.has_value());
    EXPECT_EQ(h->FIN, c.fin);
    EXPECT_EQ(h->Opcode, c.opcode);
    EXPECT_EQ(h->MASK, c.mask);
    EXPECT_EQ(h->Payloadlen, c.payloadlen);
    EXPECT_EQ(h->DataOffset, c.dataOffset);
}

INSTANTIATE_TEST_SUITE_P(
    Frames, AnalyzeHeaderCases,
    ::testing::Values(
        HeaderCase{"maskedText5", hex("81 85" + kKey + "00 00 00 00 00"), true, 1, true, 5, 6},
        HeaderCase{"len16", hex("81 FE 01 00" + kKey), true, 1, true, 256, 8},
        HeaderCase{"len64", hex("82 FF 00 00 00 00 00 01 00 00" + kKey), true, 2, true, 65536, 14},
        HeaderCase{"len64HighWordSet", hex("81 FF 00 00 00 01 00 00 00 00"), true, 1, true, -1, 0},
        HeaderCase{"len64AboveInt32", hex("81 FF 00 00 00 00 80 00 00 00"), true, 1, true, -1, 0},
        HeaderCase{"len64Zero", hex("81 FF 00 00 00 00 00 00 00 00"), true, 1, true, -1, 0},
        HeaderCase{"len64Int32Max", hex("81 FF 00 00 00 00 7F FF FF FF" + kKey), true, 1, true, 2147483647,
                   14},
        // RSV1 stays in the opcode: 0x41 = 65.
        HeaderCase{"rsv1", hex("C1 85" + kKey), true, 65, true, 5, 6},
        HeaderCase{"unmaskedNotFinal", hex("01 03 61 62 63"), false, 1, false, 3, 2},
        HeaderCase{"emptyClose", hex("88 80" + kKey), true, 8, true, 0, 6}),
    [](const auto& row) { return std::string(row.param.name); });

// A header cut off anywhere is "need more", never a decoded header.
TEST(AnalyzeHeader, CutOffHeadersNeedMoreBytes) {
    for (const std::string& full :
         {hex("81 85" + kKey), hex("81 FE 01 00" + kKey), hex("82 FF 00 00 00 00 00 01 00 00" + kKey)}) {
        for (std::size_t len = 0; len < full.size(); ++len)
            EXPECT_FALSE(AnalyzeHeader(std::string_view(full).substr(0, len)).has_value())
                << toHex(full) << " cut at " << len;
        EXPECT_TRUE(AnalyzeHeader(full).has_value());
    }
}

TEST(AnalyzeHeader, TooLongKnownBeforeTheWholeHeaderArrives) {
    const auto h = AnalyzeHeader(hex("81 FF 00 00 00 01"));
    ASSERT_TRUE(h.has_value());
    EXPECT_EQ(h->Payloadlen, -1);
}

TEST(PickData, UnmasksPayload) {
    std::string b = wstest::text("Hello");
    const auto h = AnalyzeHeader(b);
    ASSERT_TRUE(h);
    EXPECT_EQ(PickData(b, *h), "Hello");
    EXPECT_EQ(b.substr(6), "Hello"); // unmasked in place
}

TEST(PickData, RefusesEmptyOrIncompleteFrames) {
    std::string empty = wstest::text("");
    EXPECT_THROW(PickData(empty, *AnalyzeHeader(empty)), std::invalid_argument);
    std::string cut = wstest::text("Hello").substr(0, 9);
    EXPECT_THROW(PickData(cut, *AnalyzeHeader(cut)), std::invalid_argument);
}

TEST(UnmaskData, LeavesIncompleteOrUnmaskedFramesAlone) {
    std::string cut = wstest::text("Hello").substr(0, 9);
    const std::string before = cut;
    UnmaskData(cut, *AnalyzeHeader(cut));
    EXPECT_EQ(cut, before);
    wstest::FrameOptions plain;
    plain.masked = false;
    std::string unmasked = wstest::text("Hello", plain);
    UnmaskData(unmasked, *AnalyzeHeader(unmasked));
    EXPECT_EQ(unmasked.substr(2), "Hello");
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

struct PackCase {
    const char* name;
    std::size_t length;
    std::string prefix;
};

class PackDataLengths : public ::testing::TestWithParam<PackCase> {};

TEST_P(PackDataLengths, HeaderForm) {
    const std::string payload(GetParam().length, 'x');
    const std::string f = PackData(payload, 1);
    EXPECT_EQ(toHex(f.substr(0, GetParam().prefix.size())), toHex(GetParam().prefix));
    EXPECT_EQ(f.size(), GetParam().prefix.size() + GetParam().length);
    EXPECT_EQ(f.substr(GetParam().prefix.size()), payload);
}

INSTANTIATE_TEST_SUITE_P(Boundaries, PackDataLengths,
                         ::testing::Values(PackCase{"one", 1, hex("81 01")},
                                           PackCase{"len125", 125, hex("81 7D")},
                                           PackCase{"len126", 126, hex("81 7E 00 7E")},
                                           PackCase{"len65535", 65535, hex("81 7E FF FF")}),
                         [](const auto& row) { return std::string(row.param.name); });

TEST(PackData, RefusesEmptyAndOversizedPayloads) {
    EXPECT_THROW(PackData("", 1), std::length_error);
    EXPECT_THROW(PackData(std::string(65536, 'x'), 1), std::length_error);
    EXPECT_THROW(PackString(u"", 1), std::length_error);
}

TEST(PackString, TextFrames) {
    EXPECT_EQ(toHex(PackString(std::string_view("hello"), 1)), "81 05 68 65 6C 6C 6F");
    EXPECT_EQ(toHex(PackString(u"你好", 1)), "81 06 E4 BD A0 E5 A5 BD");
}

TEST(PongFrame, AlwaysTwoBytes) {
    EXPECT_EQ(toHex(PongFrame()), "8A 00");
}

TEST(ByteBuffers, SafeUBoundAndAppendBytes) {
    EXPECT_EQ(SafeUBound(""), -1);
    EXPECT_EQ(SafeUBound("abc"), 2);
    std::string d = "ab";
    AppendBytes(d, "");
    EXPECT_EQ(d, "ab");
    AppendBytes(d, "cd");
    EXPECT_EQ(d, "abcd");
}

} // namespace
