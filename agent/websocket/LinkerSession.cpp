#include "agent/websocket/LinkerSession.h"

#include "agent/websocket/Handshake.h"
#include "agent/websocket/UTF8.h"
#include "agent/websocket/WsLimits.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <initializer_list>

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
    char buf[256];
    char* p = buf;
    char* const end = buf + sizeof buf;
    for (const Piece& piece : pieces) {
        if (piece.isNumber) {
            p = std::to_chars(p, end, piece.number).ptr; // 20 digits at most: the texts are short
        } else {
            std::memcpy(p, piece.text.data(), piece.text.size());
            p += piece.text.size();
        }
    }
    return std::string(buf, p);
}

// The delivered text is an exact-size copy: the buffer keeps its capacity for the next message
// of the connection (growing it again by doubling costs more than one copy), unless it is big.
std::string takeMessage(std::string& buffer) {
    std::string message = buffer.capacity() > kRetainedBufferBytes ? std::move(buffer) : std::string(buffer);
    buffer.clear();
    return mUTF8::SanitizeUtf8(std::move(message));
}

} // namespace

void LinkerSession::reset() {
    *this = LinkerSession();
}

std::vector<WsAction> LinkerSession::feed(std::string_view arrival) {
    std::vector<WsAction> out;
    if (m_dropped) {
        out.push_back({WsAction::Kind::Drop, {}});
        return out;
    }
    if (arrival.empty()) return out;
    if (!m_handshaked)
        feedHandshake(arrival, out);
    else
        feedFrames(arrival, out);
    return out;
}

void LinkerSession::drop(std::vector<WsAction>& out) {
    m_dropped = true;
    out.push_back({WsAction::Kind::Drop, {}});
}

void LinkerSession::feedHandshake(std::string_view arrival, std::vector<WsAction>& out) {
    m_request.append(arrival);
    const std::size_t end = m_request.find("\r\n\r\n", m_requestScan);
    if (end == std::string::npos) {
        if (m_request.size() > kMaxHandshakeBytes) return drop(out);
        m_requestScan = m_request.size() >= 3 ? m_request.size() - 3 : 0;
        return;
    }
    const std::size_t requestLength = end + 4;
    if (requestLength > kMaxHandshakeBytes) return drop(out);

    out.push_back({WsAction::Kind::Send, Handshake(std::string_view(m_request).substr(0, requestLength))});
    m_handshaked = true;
    // Whatever follows the empty line is the first frame data of the connection.
    std::string rest = m_request.substr(requestLength);
    m_request = std::string();
    m_requestScan = 0;
    if (!rest.empty()) feedFrames(rest, out);
}

std::int64_t LinkerSession::heldBytes() const {
    if (m_frame) return m_frame->DataOffset + m_frameGot;
    return static_cast<std::int64_t>(m_headerBytes.size());
}

void LinkerSession::feedFrames(std::string_view data, std::vector<WsAction>& out) {
    m_arrivalSerial = static_cast<std::int32_t>(static_cast<std::uint32_t>(m_arrivalSerial) + 1u);
    const std::int64_t serial = m_arrivalSerial;

    const std::int64_t held = heldBytes();
    const std::int64_t total = held + static_cast<std::int64_t>(data.size());
    if (held > 0) logFile(out, line({serial, "合并数据---tmp2=", total - 1, "----bytesTotal=", total}));

    std::size_t pos = 0;
    bool first = true;
    for (;;) {
        if (!m_frame) {
            if (m_headerBytes.empty() && pos == data.size()) return;
            std::optional<FrameHeader> h;
            if (!m_headerBytes.empty()) {
                // Complete the header kept from the last arrival; bytes it does not need go back.
                const std::size_t old = m_headerBytes.size();
                const std::size_t take = std::min(kMaxFrameHeaderBytes - old, data.size() - pos);
                m_headerBytes.append(data.substr(pos, take));
                h = AnalyzeHeader(m_headerBytes);
                if (!h) {
                    pos += take;
                    break;
                }
                if (h->Payloadlen >= 0) pos += static_cast<std::size_t>(h->DataOffset) - old;
                m_headerBytes.clear();
            } else {
                h = AnalyzeHeader(data.substr(pos));
                if (!h) {
                    m_headerBytes.assign(data.substr(pos));
                    pos = data.size();
                    break;
                }
                if (h->Payloadlen >= 0) pos += static_cast<std::size_t>(h->DataOffset);
            }
            if (h->Payloadlen < 0) return drop(out);
            m_frame = h;
            m_frameGot = 0;
        }

        const FrameHeader& f = *m_frame;
        const std::size_t take = static_cast<std::size_t>(
            std::min<std::int64_t>(f.Payloadlen - m_frameGot, static_cast<std::int64_t>(data.size() - pos)));
        if (take > 0 && (f.Opcode == opText || f.Opcode == opContin)) {
            // Text is kept incrementally, never sized by the announced length.
            std::string& target = (f.Opcode == opText && f.FIN) ? m_payload : m_pendingText;
            const std::size_t start = target.size();
            target.append(data.substr(pos, take));
            if (f.MASK)
                UnmaskBytes(target.data() + start, take, f.MaskingKey,
                            static_cast<std::size_t>(m_frameGot & 3));
        }
        m_frameGot += static_cast<std::int64_t>(take);
        pos += take;
        if (m_frameGot < f.Payloadlen) break;

        const FrameHeader done = f;
        m_frame.reset();
        m_frameGot = 0;
        if (!dispatch(done, out)) return;
        first = false;

        const std::size_t rest = data.size() - pos;
        if (rest == 0) return;
        const std::optional<FrameHeader> next = AnalyzeHeader(data.substr(pos));
        if (next) {
            logFile(out, line({"----多余数据=", std::int64_t(rest),
                               "----DataOffset=", std::int64_t(next->DataOffset), "----Payloadlen=",
                               std::int64_t(next->Payloadlen), "----Opcode=", std::int64_t(next->Opcode)}));
        }
        if (next && std::int64_t(rest) >= next->frameLength())
            logFile(out, line({serial, "有沾包，tmp 放在 bytDat，bytDat=", std::int64_t(rest) - 1}));
        else
            logFile(out, line({serial, "退出过程，tmp 放在 tmp2，tmp2=", std::int64_t(rest) - 1}));
    }

    // The frame at hand is incomplete; its bytes wait for the next arrival.
    if (first) logFile(out, line({serial, "数据不完整，bytDat 放在 tmp2，tmp2=", total - 1}));
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
        drop(out);
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
        drop(out);
        return false;
    }
}

} // namespace mWSProtocol
