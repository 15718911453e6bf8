#pragma once

#include "agent/websocket/LinkerSession.h"

#include <QObject>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace verolux {

// The agent's network side: the listening socket (`Listener`; one per loopback address) and the
// growing array of connection
// slots (`Linker`), each with its record (`LinkerInfo`: the WebSocket session with its `Handshaked`
// flag). Everything runs on the UI thread; handlers may be re-entered while a delivered message is
// being printed, so a slot never feeds its session twice at once.
class LinkerPool : public QObject {
    Q_OBJECT
  public:
    // The slot array never grows past 16-bit indices 0..32767; a request finding every slot busy is
    // closed at once and not counted.
    static constexpr int kMaxSlots = 32768;
    // Connections the system queues before the agent takes them: a page opening many at once (or
    // many pages at once) is not turned away.
    static constexpr int kListenBacklog = 4096;
    // Bytes a connection may have read but not yet taken while the agent is busy with its last
    // message; beyond that the peer waits (TCP flow control) instead of filling memory.
    static constexpr qint64 kSocketReadBuffer = 1024 * 1024;
    // Freeing this much at once is worth giving the pages back to the system.
    static constexpr std::size_t kTrimAfterBytes = 4 * 1024 * 1024;

    // The glue's I/O steps on a connection, and how a test makes one fail.
    enum class IoStep { Read, Write, LogWrite, Deliver };
    enum class IoFault {
        None,
        StepFails,  // a short write, a log file that cannot be written (a read or delivery: as SocketError)
        SocketError // the connection breaks just before the step
    };

    struct Hooks {
        std::function<void(const QString&)> addLog; // log pane
        // Log file lines of one arrival that follow each other (may throw).
        std::function<void(const std::vector<std::string_view>&)> writeLog;
        std::function<void(const std::string&)> deliver; // a complete text message
        std::function<void(int)> connectedCountChanged;
        // The rules a new connection is admitted by (none: loopback only, trusted pages only).
        std::function<std::shared_ptr<const mWSProtocol::AccessRules>()> accessRules;
        // Asks the desktop user whether a site's page may connect; answer is called once, later.
        // None: the answer is no.
        std::function<void(const std::string& origin, std::function<void(bool)> answer)> ask;
        // Whether a new connection may be taken at all; false closes it at once, before a slot or a
        // byte of it is read. None: every one.
        std::function<bool(const QTcpSocket&)> peerAllowed;
        // Tests only: asked before each I/O step of a slot, to walk every error path of the glue.
        std::function<IoFault(int slot, IoStep step)> fault;
    };

    // maxSlots below kMaxSlots only where a smaller array is wanted (tests of the full array).
    explicit LinkerPool(Hooks hooks, int maxSlots = kMaxSlots, QObject* parent = nullptr);
    ~LinkerPool() override;

    // Listens on the port of the loopback addresses (127.0.0.1 and, where there is one, ::1), or of
    // every local address; false with the reason on failure.
    bool StartListening(quint16 port, bool allAddresses, QString* error);
    bool isListening() const;
    quint16 listeningPort() const;

    // Closes slot index and counts it down (once, whoever closes first).
    void DropConnection(int index);

    // Sends frame to every connected slot in ascending order, letting events run after each send.
    void Broadcast(const std::string& frame);

    // One connection, as long as it is the same one (a slot is reused by later connections).
    struct Peer {
        int index = -1;
        quint64 generation = 0;
    };
    // The connection whose message is being delivered now; index -1 outside a delivery.
    Peer deliveringPeer() const { return m_delivering; }
    // Sends frame to that connection alone, at once; false when it has gone meanwhile.
    bool SendTo(Peer peer, const std::string& frame);

    int ConnectedCount() const { return m_connectedCount; }
    int slotCount() const { return static_cast<int>(m_slots.size()); }
    bool slotHandshaked(int index) const;
    // Bytes that arrived on a slot and wait until it has carried out the earlier ones.
    std::size_t unreadBytes(int index) const;

    void CloseAll();

  private:
    struct Linker {
        QPointer<QTcpSocket> socket;
        mWSProtocol::LinkerSession session; // the slot's record: Handshaked, reassembly state
        bool counted = false;               // counted in ConnectedCount and not yet counted down
        bool feeding = false;               // session.feed() results are being carried out
        std::string queued;                 // bytes that arrived meanwhile
        quint64 generation = 0;             // changes whenever the slot takes a new connection
    };

    void onNewConnection(QTcpServer& listener);
    void onReadyRead(int index, quint64 generation);
    void onDisconnected(int index, quint64 generation);
    void onSocketError(int index, quint64 generation, QAbstractSocket::SocketError error);
    int takeSlot();
    bool busy(int index) const;
    void countDown(int index);
    // The connection of a slot has ended: what it had buffered goes now.
    void releaseBuffers(int index);
    bool runActions(int index, quint64 generation, const std::vector<mWSProtocol::WsAction>& actions);
    // Carries out the actions of an arrival or an answer, then the bytes that came meanwhile.
    void carryOut(int index, quint64 generation, std::vector<mWSProtocol::WsAction> actions);
    void askUser(int index, quint64 generation, const std::string& origin);
    void onAnswer(int index, quint64 generation, bool allowed);
    // Writes the whole frame or drops the connection; false when it was dropped.
    bool sendAll(int index, IoFault fault, const std::string& bytes);
    IoFault faultAt(int index, IoStep step) const;
    // What Qt reports when a connection breaks: the error, then the close.
    void breakConnection(int index);

    Hooks m_hooks;
    std::vector<std::unique_ptr<QTcpServer>> m_listeners;
    std::vector<std::unique_ptr<Linker>> m_slots;
    int m_connectedCount = 0;
    int m_maxSlots = kMaxSlots;
    Peer m_delivering;
};

} // namespace verolux
