#include "tests/websocket/SessionHarness.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <memory>
#include <new>

// What operator new hands out in this test program, so a test can tell what feeding a session
// allocates (allocator statistics say nothing under the sanitizers).
namespace {
std::atomic<std::size_t> g_allocated{0};
} // namespace

// Out of line, so the compiler does not pair a free() it can see with a new it cannot.
[[gnu::noinline]] void* operator new(std::size_t n) {
    g_allocated += n;
    if (void* p = std::malloc(n ? n : 1)) return p;
    throw std::bad_alloc();
}
[[gnu::noinline]] void operator delete(void* p) noexcept {
    std::free(p);
}
[[gnu::noinline]] void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}

namespace {

using namespace wstest;
using ::testing::ElementsAre;
using V = std::vector<std::string>;

const FrameOptions notFinal{.fin = false};

std::string bigText(std::size_t n) {
    std::string s;
    s.reserve(n);
    for (std::size_t i = 0; s.size() < n; ++i)
        s += static_cast<char>('a' + i % 26);
    return s;
}

// ---- the opening handshake ----

TEST(SessionHandshake, AnsweredOnceTheEmptyLineArrivesInAnyChunking) {
    const std::string req = upgradeRequest();
    for (std::size_t chunk : {1u, 2u, 3u, 7u, 997u}) {
        LinkerSession s;
        EXPECT_THAT(feedChunked(s, std::string_view(req).substr(0, req.size() - 2), chunk), ElementsAre());
        const auto a = s.feed(std::string_view(req).substr(req.size() - 2));
        ASSERT_EQ(a.size(), 1u) << "chunk " << chunk;
        EXPECT_EQ(a[0].data.rfind("HTTP/1.1 101 Web Socket Protocol Handshake\r\n", 0), 0u);
        EXPECT_TRUE(s.handshaked());
    }
}

TEST(SessionHandshake, RequestLimit) {
    // Exactly 16 KiB including the empty line is answered; one byte more is dropped.
    auto padded = [](std::size_t total) {
        std::string r = upgradeRequest();
        r.resize(r.size() - 2);
        r += "X-Pad: " + std::string(total - r.size() - 11, 'p') + "\r\n\r\n";
        return r;
    };
    LinkerSession atLimit;
    const auto a = feedChunked(atLimit, padded(16384), 1000);
    ASSERT_EQ(a.size(), 1u);
    EXPECT_TRUE(atLimit.handshaked());

    LinkerSession over;
    EXPECT_THAT(outcome(over.feed(padded(16385))), ElementsAre("drop: upgrade request too long"));

    // Endless headers without an empty line: dropped once past the limit, not buffered forever.
    LinkerSession endless;
    std::vector<WsAction> got;
    for (int i = 0; i < 20 && got.empty(); ++i)
        got = endless.feed(std::string(1000, 'h'));
    EXPECT_THAT(outcome(got), ElementsAre("drop: upgrade request too long"));
    EXPECT_THAT(outcome(endless.feed("x")), ElementsAre("drop: already dropped"));
}

// A page of a site nobody has answered for waits for the desktop user; what it sends meanwhile is
// carried out only once it is allowed.
TEST(SessionHandshake, AskedSiteWaitsForTheAnswer) {
    std::string req = upgradeRequest();
    req.insert(req.size() - 2, "Origin: https://erp.other.example\r\n");
    for (bool allowed : {true, false}) {
        LinkerSession s;
        EXPECT_THAT(outcome(s.feed(req + text("early"))), ElementsAre("ask https://erp.other.example"));
        EXPECT_THAT(outcome(s.feed(text("later"))), ElementsAre());
        const V after = outcome(s.answer(allowed));
        if (allowed) {
            ASSERT_EQ(after.size(), 3u);
            EXPECT_EQ(after[0].substr(0, 8), "send 48 ");
            EXPECT_EQ(V(after.begin() + 1, after.end()), (V{"deliver early", "deliver later"}));
        } else {
            EXPECT_EQ(V(after.begin() + 1, after.end()),
                      (V{"send 48 54 54 50 2F 31 2E 31 20 31 30 31 20 57 65 62 ...",
                         "drop: 网站未获允许:https://erp.other.example"}));
        }
        EXPECT_THAT(outcome(s.answer(true)), ElementsAre()) << "asked once, answered once";
    }
}

// A page refused for its site hears so in a close frame after the 101 (status 4403, "site-refused");
// other refusals keep their bare HTTP answer. Nothing sent with the request is read either way.
struct RefusalCase {
    const char* name;
    const char* headers; // added to the upgrade request (CR LF between them); a Host replaces its own
    mWSProtocol::SitePolicy policy;
    const char* expected; // "site-refused" or the HTTP answer's status line
};

class SessionRefusals : public ::testing::TestWithParam<RefusalCase> {};

TEST_P(SessionRefusals, Answer) {
    auto rules = std::make_shared<mWSProtocol::AccessRules>();
    rules->policy = GetParam().policy;
    rules->sites = {{"https://refused.example", false}};
    std::string req = upgradeRequest();
    const std::string headers = GetParam().headers;
    if (headers.find("Host:") != std::string::npos)
        req.erase(req.find("Host: "), req.find("Upgrade:") - req.find("Host: "));
    req.insert(req.size() - 2, headers + "\r\n");
    LinkerSession s(rules);
    const auto actions = s.feed(req + text("must not be read"));
    ASSERT_EQ(actions.size(), 3u);
    EXPECT_EQ(actions[0].kind, WsAction::Kind::LogPane);
    ASSERT_EQ(actions[1].kind, WsAction::Kind::Send);
    EXPECT_EQ(actions[2].kind, WsAction::Kind::Drop);
    const std::string& sent = actions[1].data;
    if (std::string_view(GetParam().expected) == "site-refused") {
        EXPECT_EQ(sent.rfind("HTTP/1.1 101 Web Socket Protocol Handshake\r\n", 0), 0u);
        const std::string close = hex("88 0E 11 33") + "site-refused"; // 4403 = 0x1133
        EXPECT_EQ(sent.substr(sent.find("\r\n\r\n") + 4), close);
    } else {
        EXPECT_EQ(sent.substr(0, sent.find("\r\n")), GetParam().expected);
    }
}

using mWSProtocol::SitePolicy;
INSTANTIATE_TEST_SUITE_P(
    Refusals, SessionRefusals,
    ::testing::Values(
        RefusalCase{"siteRefusedInSites", "Origin: https://refused.example", SitePolicy::Ask, "site-refused"},
        RefusalCase{"siteNotListed", "Origin: https://unlisted.example", SitePolicy::ListedOnly,
                    "site-refused"},
        RefusalCase{"foreignHost", "Host: rebound.example:28502", SitePolicy::ListedOnly,
                    "HTTP/1.1 403 Forbidden"},
        RefusalCase{"foreignHostOfRefusedSite", "Host: rebound.example\r\nOrigin: https://refused.example",
                    SitePolicy::Ask, "HTTP/1.1 403 Forbidden"},
        RefusalCase{"opaqueOrigin", "Origin: null", SitePolicy::ListedOnly, "HTTP/1.1 403 Forbidden"}),
    [](const auto& row) { return std::string(row.param.name); });

// ---- the trace lines of the log file, for whole and split arrivals ----

struct TraceCase {
    const char* name;
    std::string stream;
    V actions;           // every action, log lines included
    std::size_t cut = 0; // the stream arrives in two parts, cut here; 0: whole
};

class SessionTraces : public ::testing::TestWithParam<TraceCase> {};

TEST_P(SessionTraces, Actions) {
    LinkerSession s = handshakenSession();
    const std::string_view stream = GetParam().stream;
    const std::size_t cut = GetParam().cut ? GetParam().cut : stream.size();
    V got;
    for (const std::string_view part : {stream.substr(0, cut), stream.substr(cut)})
        if (!part.empty())
            for (const auto& a : s.feed(part))
                got.push_back(describe(a));
    EXPECT_EQ(got, GetParam().actions);
}

INSTANTIATE_TEST_SUITE_P(
    WholeArrivals, SessionTraces,
    ::testing::Values(
        TraceCase{"text", text("hello"), {"file opText 收到完整数据，打印报表 ", "deliver hello"}},
        TraceCase{"fragmentsInOneArrival",
                  text("ab", notFinal) + frame(0x0, "cd"),
                  {"file 分包数据,在 opText 中获取",
                   "file ----多余数据=8----DataOffset=6----Payloadlen=2----Opcode=0",
                   "file 1有沾包，tmp 放在 bytDat，bytDat=7", "file opContin 收到最后一个包，打印报表 ",
                   "deliver abcd"}},
        TraceCase{"twoMessagesBothDelivered",
                  text("one") + text("two"),
                  {"file opText 收到完整数据，打印报表 ", "deliver one",
                   "file ----多余数据=9----DataOffset=6----Payloadlen=3----Opcode=1",
                   "file 1有沾包，tmp 放在 bytDat，bytDat=8", "file opText 收到完整数据，打印报表 ",
                   "deliver two"}},
        // A length that cannot be taken is traced as -1, as a frame already whole, then dropped.
        TraceCase{"tooLongAfterText",
                  text("kept") + hex("81 FF 00 00 00 01 00 00 00 00"),
                  {"file opText 收到完整数据，打印报表 ", "deliver kept",
                   "file ----多余数据=10----DataOffset=0----Payloadlen=-1----Opcode=1",
                   "file 1有沾包，tmp 放在 bytDat，bytDat=9", "drop: frame length above 32 bits"}},
        TraceCase{"frameSplitOverTwoArrivals",
                  text("hello"),
                  {"file 1数据不完整，bytDat 放在 tmp2，tmp2=3", "file 2合并数据---tmp2=10----bytesTotal=11",
                   "file opText 收到完整数据，打印报表 ", "deliver hello"},
                  4},
        TraceCase{"frameSplitAfterItsFirstByte",
                  text("hello"),
                  {"file 1数据不完整，bytDat 放在 tmp2，tmp2=0", "file 2合并数据---tmp2=10----bytesTotal=11",
                   "file opText 收到完整数据，打印报表 ", "deliver hello"},
                  1},
        // Once a fault that dropped the connection: the byte now waits for the rest of its frame.
        TraceCase{"notFinalTextThenOneByte",
                  text("ab", notFinal) + frame(0x0, "cd"),
                  {"file 分包数据,在 opText 中获取", "file 1退出过程，tmp 放在 tmp2，tmp2=0",
                   "file 2合并数据---tmp2=7----bytesTotal=8", "file opContin 收到最后一个包，打印报表 ",
                   "deliver abcd"},
                  9}),
    [](const auto& row) { return std::string(row.param.name); });

// ---- the same byte stream, split into arrivals of 1, 2, 3, 7 and 997 bytes or fed whole, gives
// the same sends, deliveries (exact bytes), pane lines and drop: TCP may split or join bytes anywhere.

struct StreamCase {
    const char* name;
    std::string stream;
    V outcome;
};

std::string deliveredBig(const std::string& text) {
    return "deliver <" + std::to_string(text.size()) + " bytes " + digest(text) + ">";
}

const StreamCase kStreams[] = {
    {"opcode11", frame(0xB, ""), {"drop: unknown opcode 11"}},
    {"reservedBitKeptInOpcode", text("hello", {.rsv = 0x40}), {"drop: unknown opcode 65"}},
    // Known from the length alone, before the rest of the header has arrived.
    {"length64HighWord", hex("81 FF 00 00 00 01"), {"drop: frame length above 32 bits"}},
    {"length64AboveInt32", hex("81 FF 00 00 00 00 80 00 00 00"), {"drop: frame length above 2147483647"}},
    {"length64Zero", hex("81 FF 00 00 00 00 00 00 00 00"), {"drop: 64-bit frame length of zero"}},
    {"unmaskedAfterText",
     text("kept") + text("plain", {.masked = false}),
     {"deliver kept", "drop: client frame not masked"}},
    {"invalidUtf8Replaced",
     text(hex("41 FF 42")),
     {"deliver A\xEF\xBF\xBD"
      "B"}},
    {"fragmented",
     frame(0x1, "Hel", notFinal) + frame(0x0, "lo, ", notFinal) + frame(0x0, "world"),
     {"deliver Hello, world"}},
    {"controlBetweenFragments",
     frame(0x1, "ab", notFinal) + frame(0x9, "ping") + frame(0x0, "cd", notFinal) + frame(0xA, "") +
         frame(0x0, "ef"),
     {"pane opPing", "send 8A 00", "pane opPong", "send 8A 00", "deliver abcdef"}},
    {"messagesAfterControlAndBinary",
     frame(0x9, "") + text("a") + frame(0x2, "bin") + text("b") + frame(0xA, "p") + text("c"),
     {"pane opPing", "send 8A 00", "deliver a", "pane opBinary", "deliver b", "pane opPong", "send 8A 00",
      "deliver c"}},
    {"lengthBoundaries",
     text(bigText(125)) + text(bigText(126)) + text(bigText(65535)) + text(bigText(65536)),
     {deliveredBig(bigText(125)), deliveredBig(bigText(126)), deliveredBig(bigText(65535)),
      deliveredBig(bigText(65536))}},
    {"fourByteCharSplitAcrossFragments",
     frame(0x1, "x" + hex("F0 9F"), notFinal) + frame(0x0, hex("98 80") + "y"),
     {"deliver x\xF0\x9F\x98\x80y"}},
    {"emptyFramesDeliverNothing",
     text("") + frame(0x1, "", notFinal) + frame(0x0, "") + frame(0x9, "") + text("after"),
     {"pane opPing", "send 8A 00", "deliver after"}},
    {"emptyFragmentsAroundText",
     frame(0x1, "", notFinal) + frame(0x0, "mid", notFinal) + frame(0x0, ""),
     {"deliver mid"}},
    {"closeInTheMiddle",
     text("before") + frame(0x8, hex("03 E8")) + text("after"),
     {"deliver before", "pane opClose", "drop: close frame"}},
    {"unknownOpcodeAfterText",
     text("kept") + frame(0x3, "x") + text("lost"),
     {"deliver kept", "drop: unknown opcode 3"}},
};

const std::size_t kChunks[] = {0, 1, 2, 3, 7, 997};

class Reassembly : public ::testing::TestWithParam<std::tuple<StreamCase, std::size_t>> {};

TEST_P(Reassembly, SameOutcomeForEveryChunking) {
    const auto& [c, chunk] = GetParam();
    LinkerSession s = handshakenSession();
    EXPECT_EQ(outcome(feedChunked(s, c.stream, chunk)), c.outcome);
}

INSTANTIATE_TEST_SUITE_P(Streams, Reassembly,
                         ::testing::Combine(::testing::ValuesIn(kStreams), ::testing::ValuesIn(kChunks)),
                         [](const auto& row) {
                             const std::size_t chunk = std::get<1>(row.param);
                             return std::string(std::get<0>(row.param).name) + "_" +
                                    (chunk == 0 ? std::string("whole") : "chunk" + std::to_string(chunk));
                         });

TEST(SessionMemory, HugeAnnouncedLengthIsNotReservedUpFront) {
    // 64 MiB announced: the session allocates for what arrives, not for what is announced.
    LinkerSession s = handshakenSession();
    const std::string head = hex("81 FF 00 00 00 00 04 00 00 00 01 02 03 04");
    const std::string chunk(64 * 1024, 'z');
    const std::size_t before = g_allocated;
    EXPECT_THAT(outcome(s.feed(head + std::string(1000, 'z'))), ElementsAre());
    EXPECT_LT(g_allocated - before, 16u * 1024) << "1,000 bytes arrived";
    for (int i = 0; i < 16; ++i)
        EXPECT_THAT(outcome(s.feed(chunk)), ElementsAre());
    // A growing buffer takes at most about twice what it holds, in total over its doublings.
    EXPECT_LT(g_allocated - before, 4u * 16 * chunk.size()) << "1 MiB arrived";
}

// The limit counts every fragment of a message; the frame that would pass it ends the connection as
// soon as its header is in, before any of its bytes are kept, and the drop says why (the pages are
// told). Control and binary frames are not kept. 256 MiB by default, or as the setting gives it.
TEST(SessionMemory, MessageSizeLimit) {
    const std::string key = " 37 FA 21 3D";
    auto announce = [&](const char* head) { return hex(std::string(head) + key); }; // 64-bit length form
    auto after = [](std::string stream, std::size_t limit = mWSProtocol::kMaxMessageBytes) {
        LinkerSession s(nullptr, limit);
        s.feed(upgradeRequest());
        std::vector<WsAction> actions = s.feed(stream);
        const bool tooLarge = !actions.empty() && actions.back().messageTooLarge;
        V seen = outcome(actions);
        if (tooLarge) seen.push_back("too large");
        return seen;
    };
    const V none, over{"drop: message above the size limit", "too large"};
    EXPECT_EQ(after(announce("81 FF 00 00 00 00 10 00 00 00")), none) << "exactly 256 MiB";
    EXPECT_EQ(after(announce("81 FF 00 00 00 00 10 00 00 01")), over);
    const std::size_t mib = mWSProtocol::kMiB;
    EXPECT_EQ(after(announce("81 FF 00 00 00 00 00 10 00 00"), mib), none) << "exactly 1 MiB";
    EXPECT_EQ(after(announce("81 FF 00 00 00 00 00 10 00 01"), mib), over);
    const std::string first = text(std::string(1000, 'f'), notFinal);
    EXPECT_EQ(after(first + announce("00 FF 00 00 00 00 00 0F FC 18"), mib), none) << "1,000 + 1 MiB - 1,000";
    EXPECT_EQ(after(first + announce("00 FF 00 00 00 00 00 0F FC 19"), mib), over);
    EXPECT_EQ(after(announce("82 FF 00 00 00 00 7F FF FF FF"), mib), none) << "binary, 2 GiB - 1";
    EXPECT_EQ(after(hex("88 82" + key + " 00 00")), (V{"pane opClose", "drop: close frame"}))
        << "other drops do not say too large";
}

// What a connection keeps counts toward the budget of all connections: the header cut off, the
// fragments so far, the final frame's payload so far; nothing once the message is delivered.
TEST(SessionMemory, KeptBytes) {
    LinkerSession s;
    EXPECT_TRUE(s.awaitingRequest());
    s.feed(upgradeRequest().substr(0, 20));
    EXPECT_TRUE(s.awaitingRequest()) << "the request is not complete";
    s.feed(upgradeRequest().substr(20));
    EXPECT_FALSE(s.awaitingRequest());
    const std::string stream = text(std::string(1000, 'a'), notFinal) + frame(0, std::string(500, 'b'));
    s.feed(stream.substr(0, 1));
    EXPECT_EQ(s.keptBytes(), 1u);
    s.feed(stream.substr(1, 1010));
    EXPECT_EQ(s.keptBytes(), 1000u + 3) << "the first fragment, and the next header's first 3 bytes";
    s.feed(stream.substr(1011, 105));
    EXPECT_EQ(s.keptBytes(), 1000u + 100);
    EXPECT_THAT(
        outcome(s.feed(stream.substr(1116))),
        ElementsAre("deliver <1500 bytes " + digest(std::string(1000, 'a') + std::string(500, 'b')) + ">"));
    EXPECT_EQ(s.keptBytes(), 0u);
}

// [Verolux] MaxMessageMB: whole MiB from 1 to 2047; the total is twice that.
TEST(SessionMemory, LimitsFromTheSetting) {
    using mWSProtocol::MessageLimitsFromSetting;
    const std::size_t mib = mWSProtocol::kMiB;
    for (const char* fallback : {"", "0", "-1", "2048", "12a", "1.5", "abc", "99999999999999999999999"}) {
        EXPECT_EQ(MessageLimitsFromSetting(fallback).maxMessageBytes, 256 * mib) << fallback;
        EXPECT_EQ(MessageLimitsFromSetting(fallback).totalBytes, 512 * mib) << fallback;
    }
    EXPECT_EQ(MessageLimitsFromSetting("1").maxMessageBytes, mib);
    EXPECT_EQ(MessageLimitsFromSetting(" 2047 ").maxMessageBytes, 2047 * mib);
    EXPECT_EQ(MessageLimitsFromSetting("4").totalBytes, 8 * mib);
}

} // namespace
