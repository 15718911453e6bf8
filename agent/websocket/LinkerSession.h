#pragma once

#include "agent/websocket/Frame.h"
#include "agent/websocket/SiteAccess.h"
#include "agent/websocket/WsLimits.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace mWSProtocol {

// What the socket glue does after an arrival, in order; it stops at Drop.
struct WsAction {
    enum class Kind { Send, Deliver, Drop, LogPane, LogFile, Ask };
    Kind kind;
    std::string data; // Send: bytes to write; Deliver: the complete message text (valid UTF-8);
                      // LogPane/LogFile: the line text (UTF-8), without timestamp;
                      // Drop: why the connection ends (not shown to anyone);
                      // Ask: the site whose page asks to connect (the answer goes to answer())
    // Drop: the message passed the size limit; the pages are told as of an unreadable request.
    bool messageTooLarge = false;
};

// The state of one connection slot: its handshake, the frame cut off at the end of the last
// arrival (tmp2), the fragments of an unfinished message (PendingText) and ArrivalSerial.
// Bytes in, actions out; no I/O. Frames are taken as a stream: however the bytes are split
// into arrivals, the same messages are delivered.
class LinkerSession {
  public:
    // Without rules: loopback only, asking about any site that is not trusted without asking.
    explicit LinkerSession(std::shared_ptr<const AccessRules> rules = nullptr,
                           std::size_t maxMessageBytes = kMaxMessageBytes)
        : m_rules(std::move(rules)), m_maxMessageBytes(maxMessageBytes) {}

    bool handshaked() const { return m_handshaked; }
    std::int32_t arrivalSerial() const { return m_arrivalSerial; }
    // The site of the page on this connection, once its request is let in or asked about (empty:
    // none sent).
    const std::string& origin() const { return m_origin; }
    // The upgrade request has not fully arrived yet (nor has the connection ended).
    bool awaitingRequest() const { return !m_dropped && !m_handshaked && m_requestLength == 0; }
    // Bytes kept of frames and messages not yet complete.
    std::size_t keptBytes() const { return m_headerBytes.size() + m_payload.size() + m_pendingText.size(); }

    // The slot is given to a new connection, which the rules admit or not.
    void reset(std::shared_ptr<const AccessRules> rules = nullptr,
               std::size_t maxMessageBytes = kMaxMessageBytes);

    // The connection has ended: the buffers of an unfinished message go at once, the record (its
    // Handshaked flag) stays until the slot is given again. Returns the bytes freed.
    std::size_t release();

    // All bytes of one data arrival.
    std::vector<WsAction> feed(std::string_view arrival);

    // The desktop user's answer to an Ask action: the upgrade goes on (with any bytes that came
    // meanwhile) or is refused.
    std::vector<WsAction> answer(bool allowed);

  private:
    // Where the frame at hand stands after taking bytes of an arrival.
    enum class Step { NeedMore, Complete, Dropped };

    void feedHandshake(std::string_view arrival, std::vector<WsAction>& out);
    // Answers the complete request with 101 and takes what followed it as frames.
    void upgrade(std::vector<WsAction>& out);
    void refuse(std::vector<WsAction>& out, std::string_view answer, const std::string& why);
    void feedFrames(std::string_view data, std::vector<WsAction>& out);
    // Completes the header of the next frame from the held bytes and data[pos...].
    Step takeHeader(std::string_view data, std::size_t& pos, std::vector<WsAction>& out);
    // The size of the message a frame belongs to once its payload is in.
    std::size_t messageBytesWith(const FrameHeader& h) const;
    // Takes the payload bytes of the frame at hand that data[pos...] holds.
    Step takePayload(std::string_view data, std::size_t& pos);
    // Acts on a frame whose payload is complete; false when the connection is dropped.
    bool dispatch(const FrameHeader& h, std::vector<WsAction>& out);
    void drop(std::vector<WsAction>& out, std::string_view why, bool messageTooLarge = false);
    // Bytes kept from earlier arrivals: header bytes and payload so far of the frame in progress.
    std::int64_t heldBytes() const;

    std::shared_ptr<const AccessRules> m_rules;
    std::size_t m_maxMessageBytes = kMaxMessageBytes;
    bool m_handshaked = false;
    bool m_dropped = false;
    std::string m_request;           // upgrade request until it is answered, and what followed it
    std::size_t m_requestScan = 0;   // where to resume looking for the empty line
    std::size_t m_requestLength = 0; // the request's length once its empty line is in
    std::string m_askedOrigin;       // the site the desktop user is being asked about
    std::string m_origin;            // the site of the request let in or asked about
    std::int32_t m_arrivalSerial = 0;

    std::string m_headerBytes;   // a frame header cut off at the end of an arrival
    bool m_inFrame = false;      // m_frame's header is complete, its payload is arriving
    FrameHeader m_frame;         // the frame whose payload is arriving
    std::int64_t m_frameGot = 0; // its payload bytes received so far
    std::string m_payload;       // payload of a final text frame
    std::string m_pendingText;   // bytes of the fragments of an unfinished message
};

} // namespace mWSProtocol
