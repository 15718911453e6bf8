#include "tests/websocket/SessionHarness.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

// The same byte streams fed whole and in arrivals of 1, 2, 3, 7 and 997 bytes must give the
// same sends, deliveries and drops: TCP may split or join the bytes anywhere.

namespace {

using namespace wstest;
using V = std::vector<std::string>;

FrameOptions opts(bool fin, LengthForm form = LengthForm::Shortest) {
    FrameOptions o;
    o.fin = fin;
    o.form = form;
    return o;
}

std::string bigText(std::size_t n) {
    std::string s;
    s.reserve(n);
    for (std::size_t i = 0; s.size() < n; ++i)
        s += static_cast<char>('a' + i % 26);
    return s;
}

struct StreamCase {
    const char* name;
    std::string stream;
    V outcome; // sends, deliveries, pane lines, drop
};

const StreamCase kStreams[] = {
    {"singleText", text("hello"), {"deliver hello"}},
    {"joinedFrames",
     text("one") + text("two") + text("three"),
     {"deliver one", "deliver two", "deliver three"}},
    {"fragmented",
     frame(0x1, "Hel", opts(false)) + frame(0x0, "lo, ", opts(false)) + frame(0x0, "world", opts(true)),
     {"deliver Hello, world"}},
    {"controlBetweenFragments",
     frame(0x1, "ab", opts(false)) + frame(0x9, "ping") + frame(0x0, "cd", opts(false)) + frame(0xA, "") +
         frame(0x0, "ef", opts(true)),
     {"pane opPing", "send 8A 00", "pane opPong", "send 8A 00", "deliver abcdef"}},
    {"messagesAfterControlAndBinary",
     frame(0x9, "") + text("a") + frame(0x2, "bin") + text("b") + frame(0xA, "p") + text("c"),
     {"pane opPing", "send 8A 00", "deliver a", "pane opBinary", "deliver b", "pane opPong", "send 8A 00",
      "deliver c"}},
    {"message70000In64BitForm",
     text(bigText(70000), opts(true, LengthForm::Len64)) + text("next"),
     {"deliver <70000 bytes>", "deliver next"}},
    {"lengthBoundaries",
     text(bigText(125)) + text(bigText(126)) + text(bigText(65535)) + text(bigText(65536)),
     {"deliver <125 bytes>", "deliver <126 bytes>", "deliver <65535 bytes>", "deliver <65536 bytes>"}},
    {"fourByteCharSplitAcrossFragments",
     frame(0x1, "x" + hex("F0 9F"), opts(false)) + frame(0x0, hex("98 80") + "y", opts(true)),
     {"deliver x\xF0\x9F\x98\x80y"}},
    {"emptyFrames",
     text("") + frame(0x1, "", opts(false)) + frame(0x0, "", opts(true)) + frame(0x9, "") + text("after"),
     {"pane opPing", "send 8A 00", "deliver after"}},
    {"emptyFragmentsAroundText",
     frame(0x1, "", opts(false)) + frame(0x0, "mid", opts(false)) + frame(0x0, "", opts(true)),
     {"deliver mid"}},
    {"closeInTheMiddle",
     text("before") + frame(0x8, hex("03 E8")) + text("after"),
     {"deliver before", "pane opClose", "drop"}},
    {"unknownOpcodeAfterText", text("kept") + frame(0x3, "x") + text("lost"), {"deliver kept", "drop"}},
    {"tooLongAfterText",
     text("kept") + hex("81 FF 00 00 00 01 00 00 00 00") + text("lost"),
     {"deliver kept", "drop"}},
};

const std::size_t kChunks[] = {0, 1, 2, 3, 7, 997};

class Reassembly : public ::testing::TestWithParam<std::tuple<StreamCase, std::size_t>> {};

TEST_P(Reassembly, SameOutcomeForEveryChunking) {
    const auto& [c, chunk] = GetParam();
    LinkerSession s = handshakenSession();
    EXPECT_EQ(outcome(feedChunked(s, c.stream, chunk)), c.outcome);
}

TEST_P(Reassembly, DeliversTheExactBytes) {
    const auto& [c, chunk] = GetParam();
    LinkerSession whole = handshakenSession();
    LinkerSession chunked = handshakenSession();
    EXPECT_EQ(delivered(feedChunked(chunked, c.stream, chunk)), delivered(feedChunked(whole, c.stream, 0)));
}

INSTANTIATE_TEST_SUITE_P(Streams, Reassembly,
                         ::testing::Combine(::testing::ValuesIn(kStreams), ::testing::ValuesIn(kChunks)),
                         [](const auto& row) {
                             const std::size_t chunk = std::get<1>(row.param);
                             return std::string(std::get<0>(row.param).name) + "_" +
                                    (chunk == 0 ? std::string("whole") : "chunk" + std::to_string(chunk));
                         });

TEST(Reassembly, LargeMessageContentIsIntact) {
    // Other chunkings are compared with the whole-stream result above.
    const std::string payload = bigText(70000);
    for (std::size_t chunk : {0u, 997u}) {
        LinkerSession s = handshakenSession();
        const auto d = delivered(feedChunked(s, text(payload, opts(true, LengthForm::Len64)), chunk));
        ASSERT_EQ(d.size(), 1u);
        EXPECT_TRUE(d[0] == payload) << "chunk " << chunk;
    }
}

// Two connections whose bytes arrive interleaved keep their own half frames and fragments.
TEST(Reassembly, TwoSessionsInterleaving) {
    const std::string a =
        frame(0x1, "alpha-", opts(false)) + frame(0x0, "one", opts(true)) + text("alpha-two");
    const std::string b = frame(0x1, "beta-", opts(false)) + frame(0x9, "") + frame(0x0, "one", opts(true));
    for (std::size_t chunk : {1u, 2u, 3u, 7u, 997u}) {
        LinkerSession sa = handshakenSession();
        LinkerSession sb = handshakenSession();
        std::vector<WsAction> ra, rb;
        for (std::size_t at = 0; at < std::max(a.size(), b.size()); at += chunk) {
            if (at < a.size())
                for (auto& x : sa.feed(std::string_view(a).substr(at, chunk)))
                    ra.push_back(x);
            if (at < b.size())
                for (auto& x : sb.feed(std::string_view(b).substr(at, chunk)))
                    rb.push_back(x);
        }
        EXPECT_EQ(outcome(ra), (V{"deliver alpha-one", "deliver alpha-two"})) << "chunk " << chunk;
        EXPECT_EQ(outcome(rb), (V{"pane opPing", "send 8A 00", "deliver beta-one"})) << "chunk " << chunk;
    }
}

// A 4 MiB message in 64 KiB arrivals: every arrival merges into the held frame and says so.
TEST(Reassembly, BigFrameTracesEachArrival) {
    const std::string payload = bigText(4 << 20);
    const std::string f = text(payload);
    LinkerSession s = handshakenSession();
    std::size_t merges = 0, incomplete = 0;
    std::vector<std::string> got;
    for (std::size_t at = 0; at < f.size(); at += 65536) {
        for (const auto& act : s.feed(std::string_view(f).substr(at, 65536))) {
            if (act.kind == WsAction::Kind::LogFile && act.data.find("合并数据") != std::string::npos)
                ++merges;
            if (act.kind == WsAction::Kind::LogFile && act.data.find("数据不完整") != std::string::npos)
                ++incomplete;
            if (act.kind == WsAction::Kind::Deliver) got.push_back(act.data);
        }
    }
    const std::size_t arrivals = (f.size() + 65535) / 65536;
    EXPECT_EQ(merges, arrivals - 1);
    EXPECT_EQ(incomplete, arrivals - 1);
    ASSERT_EQ(got.size(), 1u);
    EXPECT_TRUE(got[0] == payload);
}

} // namespace
