#pragma once

#include "agent/websocket/LinkerSession.h"
#include "tests/websocket/FrameBuilder.h"

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

namespace wstest {

using mWSProtocol::LinkerSession;
using mWSProtocol::WsAction;

// Stands for the exact bytes of a long delivery in a readable line.
inline std::string digest(std::string_view bytes) {
    return std::to_string(std::hash<std::string_view>{}(bytes));
}

// One readable line per action: "deliver hello", "send 8A 00", "drop: close frame", "pane opPing",
// "file ...".
inline std::string describe(const WsAction& a) {
    switch (a.kind) {
    case WsAction::Kind::Send:
        return "send " + toHex(a.data.substr(0, 16)) + (a.data.size() > 16 ? " ..." : "");
    case WsAction::Kind::Deliver:
        return a.data.size() > 64
                   ? "deliver <" + std::to_string(a.data.size()) + " bytes " + digest(a.data) + ">"
                   : "deliver " + a.data;
    case WsAction::Kind::Drop:
        return "drop: " + a.data;
    case WsAction::Kind::LogPane:
        return "pane " + a.data;
    case WsAction::Kind::LogFile:
        return "file " + a.data;
    case WsAction::Kind::Ask:
        return "ask " + a.data + (a.asksAgain ? " again" : "");
    }
    return "?";
}

// Feeds `stream` in arrivals of `chunk` bytes (0: all at once), as the glue would: actions in
// order, nothing after a Drop.
inline std::vector<WsAction> feedChunked(LinkerSession& s, std::string_view stream, std::size_t chunk) {
    std::vector<WsAction> all;
    if (chunk == 0) chunk = std::max<std::size_t>(stream.size(), 1);
    for (std::size_t at = 0; at < stream.size(); at += chunk) {
        for (auto& a : s.feed(stream.substr(at, chunk))) {
            const bool dropped = a.kind == WsAction::Kind::Drop;
            all.push_back(std::move(a));
            if (dropped) return all;
        }
    }
    return all;
}

// The actions that do not depend on how the bytes were split: sends, deliveries, drop, pane lines.
inline std::vector<std::string> outcome(const std::vector<WsAction>& actions) {
    std::vector<std::string> out;
    for (const auto& a : actions)
        if (a.kind != WsAction::Kind::LogFile) out.push_back(describe(a));
    return out;
}

inline LinkerSession handshakenSession() {
    LinkerSession s;
    s.feed(upgradeRequest());
    return s;
}

} // namespace wstest
