// Frame decoding and reassembly: a handshaken session fed the input in pseudo-random arrivals
// must act exactly like one fed it whole, and both must agree with a plain whole-buffer decoder.
#include "agent/websocket/Frame.h"
#include "agent/websocket/LinkerSession.h"
#include "agent/websocket/UTF8.h"
#include "agent/websocket/WsLimits.h"
#include "tests/fuzz/FuzzTarget.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

using mWSProtocol::LinkerSession;
using mWSProtocol::WsAction;

namespace {

const std::string kRequest =
    "GET / HTTP/1.1\r\nHost: 127.0.0.1\r\nUpgrade: websocket\r\nConnection: Upgrade\r\n"
    "Sec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\nSec-WebSocket-Version: 13\r\n\r\n";

// Non-log actions as text, up to and including a Drop. The stream arrives whole, or with a seed in
// pieces of pseudo-random sizes (an odd seed: small pieces).
std::vector<std::string> feed(std::string_view stream, std::optional<std::uint8_t> seed) {
    LinkerSession s;
    s.feed(kRequest);
    check(s.handshaked());
    std::vector<std::string> seen;
    std::uint32_t state = 0x9E3779B9u ^ seed.value_or(0);
    for (std::size_t at = 0, n = 0; at < stream.size(); at += n) {
        state = state * 1664525u + 1013904223u;
        n = seed ? 1 + (state >> 16) % ((*seed & 1) ? 7 : 300) : stream.size();
        for (const auto& a : s.feed(stream.substr(at, n))) {
            if (a.kind == WsAction::Kind::LogFile) continue;
            if (a.kind == WsAction::Kind::Deliver) check(!a.data.empty() && mUTF8::IsValidUtf8(a.data));
            if (a.kind == WsAction::Kind::Send) check(a.data == mWSProtocol::PongFrame());
            // A drop compares by itself; its reason is for people.
            seen.push_back(std::to_string(int(a.kind)) + ":" +
                           (a.kind == WsAction::Kind::Drop ? "" : a.data));
            if (a.kind == WsAction::Kind::Drop) return seen;
        }
    }
    return seen;
}

// The straightforward decoder: the whole stream in one buffer, frame after frame.
std::vector<std::string> reference(std::string_view b) {
    std::vector<std::string> out;
    auto act = [&](WsAction::Kind k, std::string d) { out.push_back(std::to_string(int(k)) + ":" + d); };
    auto drop = [&] {
        act(WsAction::Kind::Drop, "");
        return out;
    };
    std::string pending;
    for (std::size_t pos = 0; pos + 2 <= b.size();) {
        const auto u = [&](std::size_t i) { return static_cast<std::uint8_t>(b[pos + i]); };
        const bool fin = u(0) & 0x80;
        const int opcode = u(0) & 0x7F;
        std::uint64_t len = u(1) & 0x7F;
        std::size_t off = 2;
        if (len == 126) {
            if (pos + 4 > b.size()) break;
            len = u(2) * 256u + u(3);
            off = 4;
        } else if (len == 127) {
            if (pos + 6 > b.size()) break;
            if (u(2) | u(3) | u(4) | u(5)) return drop();
            if (pos + 10 > b.size()) break;
            len = (std::uint64_t(u(6)) << 24) | (u(7) << 16) | (u(8) << 8) | u(9);
            if (len == 0 || len > 0x7FFFFFFF) return drop();
            off = 10;
        }
        if (!(u(1) & 0x80)) return drop(); // a page's frames are always masked
        if (pos + off + 4 > b.size()) break;
        // A text message, all its fragments together, is limited; other frames are not kept.
        const std::size_t kept = opcode == 1 && fin ? 0 : pending.size();
        if ((opcode == 0 || opcode == 1) && kept + len > mWSProtocol::kMaxMessageBytes) return drop();
        if (pos + off + 4 + len > b.size()) break;
        std::string payload(b.substr(pos + off + 4, len));
        for (std::size_t i = 0; i < payload.size(); ++i)
            payload[i] = static_cast<char>(payload[i] ^ u(off + i % 4));
        pos += off + 4 + len;

        switch (opcode) {
        case 0:
            pending += payload;
            if (fin) {
                if (!pending.empty()) act(WsAction::Kind::Deliver, mUTF8::SanitizeUtf8(pending));
                pending.clear();
            }
            break;
        case 1:
            if (!fin)
                pending += payload;
            else if (!payload.empty())
                act(WsAction::Kind::Deliver, mUTF8::SanitizeUtf8(payload));
            break;
        case 2:
            act(WsAction::Kind::LogPane, "opBinary");
            break;
        case 8:
            act(WsAction::Kind::LogPane, "opClose");
            return drop();
        case 9:
        case 10:
            act(WsAction::Kind::LogPane, opcode == 9 ? "opPing" : "opPong");
            act(WsAction::Kind::Send, std::string("\x8A\x00", 2));
            break;
        default:
            return drop();
        }
    }
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    // The first byte seeds the arrival sizes; the rest is the byte stream of the connection.
    const std::string_view stream(reinterpret_cast<const char*>(data) + 1, size - 1);
    const auto whole = feed(stream, std::nullopt);
    check(whole == reference(stream));
    check(feed(stream, data[0]) == whole);

    // The fast UTF-8 checks agree with the code-point decoder.
    const std::string roundTrip = mUTF8::StringToUtf8(mUTF8::Utf8ToString(stream));
    check(mUTF8::IsValidUtf8(stream) == (roundTrip == stream));
    check(mUTF8::SanitizeUtf8(std::string(stream)) == roundTrip);

    // The decoder on its own: a header it decodes lies within its longest form, and one cut short of
    // its payload offset needs more bytes.
    const auto r = mWSProtocol::AnalyzeHeader(stream);
    if (r.outcome == mWSProtocol::HeaderResult::Outcome::Header) {
        check(r.header.DataOffset >= 2 && r.header.DataOffset <= 14 && r.header.Payloadlen >= 0);
        const auto cut = stream.substr(0, std::size_t(r.header.DataOffset) - 1);
        check(mWSProtocol::AnalyzeHeader(cut).outcome != mWSProtocol::HeaderResult::Outcome::Header);
    }
    return 0;
}
