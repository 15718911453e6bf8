#include "tests/websocket/SessionHarness.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace {

using namespace wstest;
using ::testing::ElementsAre;
using V = std::vector<std::string>;

const std::string kExpectedResponseStart = "HTTP/1.1 101 Web Socket Protocol Handshake\r\n";

// ---- handshake through the session ----

TEST(SessionHandshake, AnsweredOnceTheEmptyLineArrives) {
    LinkerSession s;
    const std::string req = upgradeRequest();
    EXPECT_TRUE(s.feed(req.substr(0, req.size() - 2)).empty()); // CR LF CR LF not complete yet
    EXPECT_FALSE(s.handshaked());
    const auto actions = s.feed(req.substr(req.size() - 2));
    ASSERT_EQ(actions.size(), 1u);
    EXPECT_EQ(actions[0].kind, WsAction::Kind::Send);
    EXPECT_EQ(actions[0].data.rfind(kExpectedResponseStart, 0), 0u);
    EXPECT_NE(actions[0].data.find("Sec-WebSocket-Accept: s3pPLMBiTxaQ9kYGzzhZRbK+xOo=\r\n"),
              std::string::npos);
    EXPECT_TRUE(s.handshaked());
}

TEST(SessionHandshake, SplitRequestGivesTheSameResponseInAnyChunking) {
    const std::string req = upgradeRequest();
    LinkerSession whole;
    const auto expected = outcome(whole.feed(req));
    for (std::size_t chunk : {1u, 2u, 3u, 7u, 997u}) {
        LinkerSession s;
        EXPECT_EQ(outcome(feedChunked(s, req, chunk)), expected) << "chunk " << chunk;
    }
}

TEST(SessionHandshake, BytesAfterTheEmptyLineAreFrames) {
    LinkerSession s;
    const auto actions = s.feed(upgradeRequest() + text("first") + text("second"));
    const auto d = delivered(actions);
    EXPECT_THAT(d, ElementsAre("first", "second"));
    EXPECT_EQ(actions.front().kind, WsAction::Kind::Send);
}

TEST(SessionHandshake, RequestLimit) {
    // Exactly 16 KiB including the empty line is answered; one byte more is dropped.
    auto padded = [](std::size_t total) {
        std::string r = "GET / HTTP/1.1\r\nSec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\nX-Pad: ";
        r += std::string(total - r.size() - 4, 'p');
        r += "\r\n\r\n";
        return r;
    };
    {
        LinkerSession s;
        const auto a = feedChunked(s, padded(16384), 1000);
        ASSERT_EQ(a.size(), 1u);
        EXPECT_EQ(a[0].kind, WsAction::Kind::Send);
    }
    {
        LinkerSession s;
        EXPECT_THAT(outcome(s.feed(padded(16385))), ElementsAre("drop"));
    }
    {
        // Endless headers without an empty line: dropped once past the limit, not buffered forever.
        LinkerSession s;
        std::vector<WsAction> got;
        for (int i = 0; i < 20 && got.empty(); ++i)
            got = s.feed(std::string(1000, 'h'));
        EXPECT_THAT(outcome(got), ElementsAre("drop"));
        EXPECT_LE(s.feed("x").size(), 1u);
    }
}

TEST(SessionHandshake, ResetGivesAFreshConnection) {
    LinkerSession s = handshakenSession();
    s.feed(text("partial").substr(0, 5));
    s.reset();
    EXPECT_FALSE(s.handshaked());
    EXPECT_EQ(s.arrivalSerial(), 0);
    const auto a = s.feed(upgradeRequest() + text("fresh"));
    EXPECT_THAT(delivered(a), ElementsAre("fresh"));
}

// ---- frames of one kind, whole arrivals ----

struct FrameCase {
    const char* name;
    std::string stream;
    V actions; // every action, log lines included
};

class SessionFrames : public ::testing::TestWithParam<FrameCase> {};

TEST_P(SessionFrames, Actions) {
    LinkerSession s = handshakenSession();
    EXPECT_EQ(describeAll(feedChunked(s, GetParam().stream, 0)), GetParam().actions);
}

FrameOptions notFinal() {
    FrameOptions o;
    o.fin = false;
    return o;
}

FrameOptions rsv1() {
    FrameOptions o;
    o.rsv = 0x40;
    return o;
}

INSTANTIATE_TEST_SUITE_P(
    Frames, SessionFrames,
    ::testing::Values(
        FrameCase{"text", text("hello"), {"file opText 收到完整数据，打印报表 ", "deliver hello"}},
        FrameCase{"pingWithPayload", frame(0x9, "abcd"), {"pane opPing", "send 8A 00"}},
        FrameCase{"emptyPing", frame(0x9, ""), {"pane opPing", "send 8A 00"}},
        FrameCase{"pongAnsweredToo", frame(0xA, "xy"), {"pane opPong", "send 8A 00"}},
        FrameCase{"closeWithStatus", frame(0x8, hex("03 E8")), {"pane opClose", "drop"}},
        FrameCase{"emptyClose", frame(0x8, ""), {"pane opClose", "drop"}},
        FrameCase{"binaryIgnored", frame(0x2, "bin"), {"pane opBinary"}},
        FrameCase{"opcode3DropsSilently", frame(0x3, "x"), {"drop"}},
        FrameCase{"opcode11DropsSilently", frame(0xB, ""), {"drop"}},
        FrameCase{"reservedBitDrops", text("hello", rsv1()), {"drop"}},
        FrameCase{"length64HighWord", hex("81 FF 00 00 00 01 00 00 00 00"), {"drop"}},
        FrameCase{"length64Zero", hex("81 FF 00 00 00 00 00 00 00 00"), {"drop"}},
        FrameCase{"emptyTextDeliversNothing", text(""), {}},
        FrameCase{"unmaskedClientFrame",
                  [] {
                      FrameOptions o;
                      o.masked = false;
                      return text("plain", o);
                  }(),
                  {"file opText 收到完整数据，打印报表 ", "deliver plain"}},
        FrameCase{"invalidUtf8Replaced",
                  text(hex("41 FF 42")),
                  {"file opText 收到完整数据，打印报表 ", "deliver A\xEF\xBF\xBD"
                                                          "B"}},
        FrameCase{"fragmentsInOneArrival",
                  text("ab", notFinal()) + fragment(0x0, "cd", true),
                  {"file 分包数据,在 opText 中获取",
                   "file ----多余数据=8----DataOffset=6----Payloadlen=2----Opcode=0",
                   "file 1有沾包，tmp 放在 bytDat，bytDat=7", "file opContin 收到最后一个包，打印报表 ",
                   "deliver abcd"}},
        FrameCase{"twoMessagesBothDelivered",
                  text("one") + text("two"),
                  {"file opText 收到完整数据，打印报表 ", "deliver one",
                   "file ----多余数据=9----DataOffset=6----Payloadlen=3----Opcode=1",
                   "file 1有沾包，tmp 放在 bytDat，bytDat=8", "file opText 收到完整数据，打印报表 ",
                   "deliver two"}},
        FrameCase{"binaryThenText",
                  frame(0x2, "b") + text("t"),
                  {"pane opBinary", "file ----多余数据=7----DataOffset=6----Payloadlen=1----Opcode=1",
                   "file 1有沾包，tmp 放在 bytDat，bytDat=6", "file opText 收到完整数据，打印报表 ",
                   "deliver t"}},
        FrameCase{"closeEndsTheArrival", frame(0x8, "") + text("late"), {"pane opClose", "drop"}},
        FrameCase{"textThenOneByteOfNext",
                  text("done") + hex("81"),
                  {"file opText 收到完整数据，打印报表 ", "deliver done",
                   "file 1退出过程，tmp 放在 tmp2，tmp2=0"}}),
    [](const auto& row) { return std::string(row.param.name); });

// ---- the traces of split frames ----

TEST(SessionTraces, FrameSplitOverTwoArrivals) {
    LinkerSession s = handshakenSession();
    const std::string f = text("hello"); // 11 bytes
    EXPECT_THAT(describeAll(s.feed(f.substr(0, 4))),
                ElementsAre("file 1数据不完整，bytDat 放在 tmp2，tmp2=3"));
    EXPECT_THAT(describeAll(s.feed(f.substr(4))),
                ElementsAre("file 2合并数据---tmp2=10----bytesTotal=11",
                            "file opText 收到完整数据，打印报表 ", "deliver hello"));
    EXPECT_EQ(s.arrivalSerial(), 2);
}

TEST(SessionTraces, HeaderCutAfterOneByteIsKept) {
    LinkerSession s = handshakenSession();
    const std::string f = text("hello");
    EXPECT_THAT(describeAll(s.feed(f.substr(0, 1))),
                ElementsAre("file 1数据不完整，bytDat 放在 tmp2，tmp2=0"));
    EXPECT_THAT(delivered(s.feed(f.substr(1))), ElementsAre("hello"));
}

TEST(SessionTraces, NotFinalTextFollowedByOneByte) {
    // Once a fault that dropped the connection: the byte now waits for the rest of its frame.
    LinkerSession s = handshakenSession();
    const std::string cont = fragment(0x0, "cd", true);
    EXPECT_THAT(describeAll(s.feed(text("ab", notFinal()) + cont.substr(0, 1))),
                ElementsAre("file 分包数据,在 opText 中获取", "file 1退出过程，tmp 放在 tmp2，tmp2=0"));
    EXPECT_THAT(delivered(s.feed(cont.substr(1))), ElementsAre("abcd"));
}

TEST(SessionTraces, DroppedSessionStaysDropped) {
    LinkerSession s = handshakenSession();
    EXPECT_THAT(outcome(s.feed(frame(0x3, ""))), ElementsAre("drop"));
    EXPECT_THAT(outcome(s.feed(text("after"))), ElementsAre("drop"));
}

TEST(SessionMemory, HugeAnnouncedLengthIsNotReservedUpFront) {
    // 2 GiB - 1 announced, only a few bytes sent: the session keeps what arrived, nothing more.
    LinkerSession s = handshakenSession();
    std::string f = hex("81 FF 00 00 00 00 7F FF FF FF 01 02 03 04");
    f += std::string(1000, 'z');
    const auto a = s.feed(f);
    EXPECT_TRUE(delivered(a).empty());
    for (const auto& act : a)
        EXPECT_NE(act.kind, WsAction::Kind::Drop);
}

} // namespace
