// Upgrade requests: the 101 answer is always well formed, and a session decides the same way
// however the request is split, as the access rules say.
#include "agent/websocket/Handshake.h"
#include "agent/websocket/LinkerSession.h"
#include "agent/websocket/SiteAccess.h"
#include "agent/websocket/WsLimits.h"
#include "tests/fuzz/FuzzTarget.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

using mWSProtocol::LinkerSession;
using mWSProtocol::WsAction;

namespace {

std::size_t countCrLf(std::string_view s) {
    std::size_t n = 0;
    for (std::size_t at = s.find("\r\n"); at != std::string_view::npos; at = s.find("\r\n", at + 2))
        ++n;
    return n;
}

std::vector<std::string> run(std::string_view input, std::size_t chunk) {
    LinkerSession s;
    std::vector<std::string> seen;
    for (std::size_t at = 0; at < input.size(); at += chunk) {
        for (const auto& a : s.feed(input.substr(at, chunk))) {
            if (a.kind == WsAction::Kind::LogFile) continue;
            // A drop compares by itself; its reason is for people.
            seen.push_back(std::to_string(int(a.kind)) + ":" +
                           (a.kind == WsAction::Kind::Drop ? "" : a.data));
            if (a.kind == WsAction::Kind::Drop) return seen;
        }
    }
    return seen;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    const std::size_t chunk = 1 + data[0] % 64;
    const std::string_view input(reinterpret_cast<const char*>(data) + 1, size - 1);

    const std::string response = mWSProtocol::Handshake(input);
    check(response.rfind("HTTP/1.1 101 Web Socket Protocol Handshake\r\n", 0) == 0);
    check(countCrLf(response) == 7);
    check(response.find("\r\n\r\n") == response.size() - 4);
    for (const char* name : {"Host:", "Sec-WebSocket-Key:", "Sec-WebSocket-Origin:"}) {
        const std::string v = mWSProtocol::GetHeaderValue(input, name);
        check(v.find("\r\n") == std::string::npos);
        check(v.empty() || (v.front() != ' ' && v.back() != ' '));
    }

    const auto whole = run(input, input.empty() ? 1 : input.size());
    const auto chunked = run(input, chunk);
    check(whole == chunked);

    // Decided exactly when the empty line lies within the limit, as the access rules say.
    const std::size_t end = input.find("\r\n\r\n");
    const bool complete = end != std::string_view::npos && end + 4 <= mWSProtocol::kMaxHandshakeBytes;
    if (complete) {
        using Kind = mWSProtocol::AccessDecision::Kind;
        const std::string_view request = input.substr(0, end + 4);
        const auto d = mWSProtocol::DecideAccess(mWSProtocol::ReadUpgradeRequest(request), {});
        check(!whole.empty());
        if (d.kind == Kind::Upgrade) check(whole[0] == "0:" + mWSProtocol::Handshake(request));
        if (d.kind == Kind::Ask) check(whole.size() == 1 && whole[0] == "5:" + d.origin);
        if (d.kind == Kind::BadRequest || d.kind == Kind::Forbidden)
            check(whole.size() == 3 && whole[2] == "2:" &&
                  whole[1] == "0:" + std::string(d.kind == Kind::BadRequest ? mWSProtocol::kBadRequestAnswer
                                                                            : mWSProtocol::kForbiddenAnswer));
    } else if (input.size() > mWSProtocol::kMaxHandshakeBytes) {
        check(whole.size() == 1 && whole[0] == "2:");
    } else {
        check(whole.empty());
    }
    return 0;
}
