#include "agent/websocket/LinkerSession.h"

#include "agent/websocket/Handshake.h"
#include "agent/websocket/UTF8.h"
#include "agent/websocket/WsLimits.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <initializer_list>
#include <string>

namespace mWSProtocol {

namespace {

void logFile(std::vector<WsAction>& out, std::string line) {
    out.push_back({WsAction::Kind::LogFile, std::move(line)});
}

void logPane(std::vector<WsAction>& out, std::string line) {
    out.push_back({WsAction::Kind::LogPane, std::move(line)});
}

// A trace line from text and numbers, built in one allocation: several go out per frame.
struct Piece {
    Piece(std::string_view t) : text(t) {}
    Piece(const char* t) : text(t) {}
    Piece(std::int64_t v) : isNumber(true), number(v) {}
    std::string_view text;
    bool isNumber = false;
    std::int64_t number = 0;
};

std::string line(std::initializer_list<Piece> pieces) {
    constexpr std::size_t kNumberRoom = 20; // "-9223372036854775808"
    std::size_t room = 0;
    for (const Piece& piece : pieces)
        room += piece.isNumber ? kNumberRoom : piece.text.size();
    std::string text(room, '\0');
    char* p = text.data();
    char* const end = p + room;
    for (const Piece& piece : pieces) {
        if (piece.isNumber) {
            p = std::to_chars(p, end, piece.number).ptr;
        } else {
            std::memcpy(p, piece.text.data(), piece.text.size());
            p += piece.text.size();
        }
    }
    text.resize(static_cast<std::size_t>(p - text.data()));
    return text;
}

// The delivered text is an exact-size copy: the buffer keeps its capacity for the next message
// of the connection (growing it again by doubling costs more than one copy), unless it is big.
std::string takeMessage(std::string& buffer) {
    std::string message = buffer.capacity() > kRetainedBufferBytes ? std::move(buffer) : std::string(buffer);
    buffer.clear();
    return mUTF8::SanitizeUtf8(std::move(message));
}

// The trace of the bytes that follow a completed frame in the same arrival: the next header as far
// as it decodes, then whether that frame is whole here (sticky frames) or waits for more bytes.
void traceFollowing(std::string_view rest, std::int64_t serial, std::vector<WsAction>& out) {
    const std::int64_t n = static_cast<std::int64_t>(rest.size());
    const HeaderResult next = AnalyzeHeader(rest);
    bool whole = false;
    if (next.outcome != HeaderResult::Outcome::NeedMore) {
        const bool ok = next.outcome == HeaderResult::Outcome::Header;
        // A length that cannot be taken shows as -1 at offset 0, and its frame as already whole.
        const std::int64_t offset = ok ? next.header.DataOffset : 0;
        const std::int64_t length = ok ? next.header.Payloadlen : -1;
        logFile(out, line({"----多余数据=", n, "----DataOffset=", offset, "----Payloadlen=", length,
                           "----Opcode=", std::int64_t(next.header.Opcode)}));
        whole = n >= offset + length;
    }
    if (whole)
        logFile(out, line({serial, "有沾包，tmp 放在 bytDat，bytDat=", n - 1}));
    else
        logFile(out, line({serial, "退出过程，tmp 放在 tmp2，tmp2=", n - 1}));
}

// What a page of a refused site gets instead of a failed handshake, which it could not tell from no
// agent at all: the 101, then at once a close frame with status 4403 and the reason "site-refused".
// Nothing it sends is read.
std::string siteRefusedAnswer(std::string_view request) {
    constexpr unsigned kStatus = 4403;
    std::string payload = {char(kStatus >> 8), char(kStatus & 0xFF)};
    payload += "site-refused";
    return Handshake(request) + PackData(payload, opClose);
}

// A request refused only for its site (with every site allowed it would be let in) is told so; any
// other (a foreign Host, an Origin that names no site) gets the bare 403.
std::string forbiddenAnswer(std::string_view request, const AccessRules& rules) {
    AccessRules everySite = rules;
    everySite.policy = SitePolicy::Any;
    if (DecideAccess(ReadUpgradeRequest(request), everySite).kind == AccessDecision::Kind::Upgrade)
        return siteRefusedAnswer(request);
    return std::string(kForbiddenAnswer);
}

} // namespace

void LinkerSession::reset(std::shared_ptr<const AccessRules> rules, std::size_t maxMessageBytes) {
    release(); // assigning a fresh session would keep the old buffers' capacity
    *this = LinkerSession(std::move(rules), maxMessageBytes);
}

std::size_t LinkerSession::release() {
    std::size_t freed = 0;
    for (std::string* buffer : {&m_request, &m_headerBytes, &m_payload, &m_pendingText}) {
        freed += buffer->capacity();
        std::string().swap(*buffer);
    }
    m_requestScan = 0;
    m_requestLength = 0;
    m_inFrame = false;
    m_frameGot = 0;
    m_dropped = true;
    return freed;
}

std::vector<WsAction> LinkerSession::feed(std::string_view arrival) {
    std::vector<WsAction> out;
    if (m_dropped) {
        out.push_back({WsAction::Kind::Drop, "already dropped"});
        return out;
    }
    if (arrival.empty()) return out;
    if (!m_handshaked)
        feedHandshake(arrival, out);
    else
        feedFrames(arrival, out);
    return out;
}

void LinkerSession::drop(std::vector<WsAction>& out, std::string_view why, bool messageTooLarge) {
    release();
    out.push_back({WsAction::Kind::Drop, std::string(why), messageTooLarge});
}

void LinkerSession::feedHandshake(std::string_view arrival, std::vector<WsAction>& out) {
    m_request.append(arrival);
    if (m_requestLength > 0) {
        // Waiting for the desktop user: a page sends nothing before its 101, so keep little.
        if (m_request.size() > 2 * kMaxHandshakeBytes) drop(out, "too much sent before the answer");
        return;
    }
    const std::size_t end = m_request.find("\r\n\r\n", m_requestScan);
    if (end == std::string::npos) {
        if (m_request.size() > kMaxHandshakeBytes) return drop(out, "upgrade request too long");
        m_requestScan = m_request.size() >= 3 ? m_request.size() - 3 : 0;
        return;
    }
    m_requestLength = end + 4;
    if (m_requestLength > kMaxHandshakeBytes) return drop(out, "upgrade request too long");

    static const AccessRules kDefaultRules;
    const AccessDecision d =
        DecideAccess(ReadUpgradeRequest(std::string_view(m_request).substr(0, m_requestLength)),
                     m_rules ? *m_rules : kDefaultRules);
    m_origin = d.origin;
    switch (d.kind) {
    case AccessDecision::Kind::Upgrade:
        return upgrade(out);
    case AccessDecision::Kind::BadRequest:
        return refuse(out, kBadRequestAnswer, d.reason);
    case AccessDecision::Kind::Forbidden:
        return refuse(out,
                      forbiddenAnswer(std::string_view(m_request).substr(0, m_requestLength),
                                      m_rules ? *m_rules : kDefaultRules),
                      d.reason);
    case AccessDecision::Kind::Ask:
        m_askedOrigin = d.origin;
        out.push_back({WsAction::Kind::Ask, d.origin});
        return;
    }
}

std::vector<WsAction> LinkerSession::answer(bool allowed) {
    std::vector<WsAction> out;
    if (m_dropped || m_handshaked || m_askedOrigin.empty()) return out; // nothing was asked
    if (allowed)
        upgrade(out);
    else
        refuse(out, siteRefusedAnswer(std::string_view(m_request).substr(0, m_requestLength)),
               "网站未获允许:" + m_askedOrigin);
    return out;
}

void LinkerSession::upgrade(std::vector<WsAction>& out) {
    out.push_back({WsAction::Kind::Send, Handshake(std::string_view(m_request).substr(0, m_requestLength))});
    m_handshaked = true;
    // Whatever follows the empty line is the first frame data of the connection.
    std::string rest = m_request.substr(m_requestLength);
    std::string().swap(m_request);
    m_requestScan = m_requestLength = 0;
    if (!rest.empty()) feedFrames(rest, out);
}

void LinkerSession::refuse(std::vector<WsAction>& out, std::string_view answer, const std::string& why) {
    logPane(out, "拒绝连接:" + why);
    out.push_back({WsAction::Kind::Send, std::string(answer)});
    drop(out, why);
}

std::int64_t LinkerSession::heldBytes() const {
    if (m_inFrame) return m_frame.DataOffset + m_frameGot;
    return static_cast<std::int64_t>(m_headerBytes.size());
}

void LinkerSession::feedFrames(std::string_view data, std::vector<WsAction>& out) {
    m_arrivalSerial = static_cast<std::int32_t>(static_cast<std::uint32_t>(m_arrivalSerial) + 1u);
    const std::int64_t serial = m_arrivalSerial;

    const std::int64_t held = heldBytes();
    const std::int64_t total = held + static_cast<std::int64_t>(data.size());
    if (held > 0) logFile(out, line({serial, "合并数据---tmp2=", total - 1, "----bytesTotal=", total}));

    std::size_t pos = 0;
    bool completedOne = false;
    for (;;) {
        if (!m_inFrame) {
            const Step header = takeHeader(data, pos, out);
            if (header == Step::Dropped) return;
            if (header == Step::NeedMore) break;
        }
        if (takePayload(data, pos) == Step::NeedMore) break;
        m_inFrame = false;
        const FrameHeader done = m_frame;
        if (!dispatch(done, out)) return;
        completedOne = true;
        if (pos == data.size()) return;
        traceFollowing(data.substr(pos), serial, out);
    }

    // The frame at hand is incomplete; its bytes wait for the next arrival.
    if (!completedOne) logFile(out, line({serial, "数据不完整，bytDat 放在 tmp2，tmp2=", total - 1}));
}

LinkerSession::Step LinkerSession::takeHeader(std::string_view data, std::size_t& pos,
                                              std::vector<WsAction>& out) {
    HeaderResult r;
    if (!m_headerBytes.empty()) {
        // Complete the header kept from the last arrival; bytes it does not need go back.
        const std::size_t old = m_headerBytes.size();
        const std::size_t take = std::min(kMaxFrameHeaderBytes - old, data.size() - pos);
        m_headerBytes.append(data.substr(pos, take));
        r = AnalyzeHeader(m_headerBytes);
        if (r.outcome == HeaderResult::Outcome::NeedMore) {
            pos += take;
            return Step::NeedMore;
        }
        if (r.outcome == HeaderResult::Outcome::Header)
            pos += static_cast<std::size_t>(r.header.DataOffset) - old;
        m_headerBytes.clear();
    } else {
        r = AnalyzeHeader(data.substr(pos));
        if (r.outcome == HeaderResult::Outcome::NeedMore) {
            m_headerBytes.assign(data.substr(pos));
            pos = data.size();
            return Step::NeedMore;
        }
        if (r.outcome == HeaderResult::Outcome::Header) pos += static_cast<std::size_t>(r.header.DataOffset);
    }
    if (r.outcome == HeaderResult::Outcome::Violation) {
        drop(out, ViolationText(r.violation));
        return Step::Dropped;
    }
    // A page's frames are masked so that it cannot shape the bytes a proxy sees (RFC 6455 10.3).
    if (!r.header.MASK) {
        drop(out, "client frame not masked");
        return Step::Dropped;
    }
    if (messageBytesWith(r.header) > m_maxMessageBytes) {
        drop(out, "message above the size limit", true);
        return Step::Dropped;
    }
    m_frame = r.header;
    m_inFrame = true;
    m_frameGot = 0;
    return Step::Complete;
}

std::size_t LinkerSession::messageBytesWith(const FrameHeader& h) const {
    const auto payload = static_cast<std::size_t>(h.Payloadlen);
    if (h.Opcode == opText && h.FIN) return payload; // a whole message in one frame
    if (h.Opcode == opText || h.Opcode == opContin) return m_pendingText.size() + payload;
    return 0; // control and binary frames are not kept
}

LinkerSession::Step LinkerSession::takePayload(std::string_view data, std::size_t& pos) {
    const FrameHeader& f = m_frame;
    const std::size_t take = static_cast<std::size_t>(
        std::min<std::int64_t>(f.Payloadlen - m_frameGot, static_cast<std::int64_t>(data.size() - pos)));
    if (take > 0 && (f.Opcode == opText || f.Opcode == opContin)) {
        // Text is kept incrementally, never sized by the announced length.
        std::string& target = (f.Opcode == opText && f.FIN) ? m_payload : m_pendingText;
        const std::size_t start = target.size();
        target.append(data.substr(pos, take));
        if (f.MASK)
            UnmaskBytes(target.data() + start, take, f.MaskingKey, static_cast<std::size_t>(m_frameGot & 3));
    }
    m_frameGot += static_cast<std::int64_t>(take);
    pos += take;
    return m_frameGot < f.Payloadlen ? Step::NeedMore : Step::Complete;
}

bool LinkerSession::dispatch(const FrameHeader& h, std::vector<WsAction>& out) {
    switch (h.Opcode) {
    case opContin:
        if (h.FIN) {
            if (!m_pendingText.empty()) {
                logFile(out, "opContin 收到最后一个包，打印报表 ");
                out.push_back({WsAction::Kind::Deliver, takeMessage(m_pendingText)});
            }
        } else {
            logFile(out, "分包数据,在 opContin 中获取");
        }
        return true;
    case opText:
        if (h.FIN) {
            if (!m_payload.empty()) {
                logFile(out, "opText 收到完整数据，打印报表 ");
                out.push_back({WsAction::Kind::Deliver, takeMessage(m_payload)});
            }
        } else {
            logFile(out, "分包数据,在 opText 中获取");
        }
        return true;
    case opBinary:
        logPane(out, "opBinary");
        return true;
    case opClose:
        logPane(out, "opClose");
        drop(out, "close frame");
        return false;
    case opPing:
        logPane(out, "opPing");
        out.push_back({WsAction::Kind::Send, PongFrame()});
        return true;
    case opPong:
        logPane(out, "opPong");
        out.push_back({WsAction::Kind::Send, PongFrame()});
        return true;
    default:
        drop(out, "unknown opcode " + std::to_string(h.Opcode));
        return false;
    }
}

} // namespace mWSProtocol
