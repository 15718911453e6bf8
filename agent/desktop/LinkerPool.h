#pragma once

#include "agent/websocket/LinkerSession.h"

#include <QObject>
#include <QPointer>
#include <QSocketNotifier>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace verolux {

// The agent's network side: the listening socket (`Listener`; one per loopback address) and the
// growing array of connection slots (`Linker`), each with its record (`LinkerInfo`: the WebSocket
// session with its `Handshaked` flag). Everything runs on the UI thread; handlers may be re-entered
// while a delivered message is being printed, so a slot never feeds its session twice at once.
//
// It stays within the process's descriptors: at most ConnectionsWithin(open file limit) connections
// at a time, a listener that the system refuses a descriptor pauses and resumes, a connection that
// does not send its upgrade request in time is closed. The unfinished messages of all connections
// together hold at most MessageLimits::totalBytes; a connection that would pass it is not read until
// there is room again (its peer waits, by TCP flow control).
class LinkerPool : public QObject {
    Q_OBJECT
  public:
    // The slot array never grows past 16-bit indices 0..32767; a request finding every slot busy is
    // closed at once and not counted.
    static constexpr int kMaxSlots = 32768;
    // Descriptors kept free of connections for template and PDF files, CUPS, backend calls, the log
    // file and the toolkit's own.
    static constexpr long kReservedDescriptors = 64;
    // Connections at a time under a limit on open files (-1: none): fileLimit - kReservedDescriptors,
    // at most kMaxSlots.
    static int ConnectionsWithin(long fileLimit);
    // A connection whose upgrade request has not fully arrived after this long is closed.
    static constexpr std::chrono::milliseconds kHandshakeTimeout{10000};
    // While the system refuses the listener a descriptor, accepting is tried again this often (and
    // whenever a connection closes).
    static constexpr std::chrono::milliseconds kAcceptRetry{1000};
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
        // Returns the ticket to withdraw the question with (0: none). None: the answer is no.
        std::function<std::uint64_t(const std::string& origin, std::function<void(bool)> answer)> ask;
        // The connection waiting on a ticket has gone before its answer.
        std::function<void(std::uint64_t ticket)> withdraw;
        // A page that asks again later: the answer now, or none while its site's question is open
        // (the page is told so and its connection ends). None: it waits like any other.
        std::function<std::optional<bool>(const std::string& origin)> askAgainLater;
        // Whether a new connection may be taken at all; false closes it at once, before a slot or a
        // byte of it is read. None: every one.
        std::function<bool(const QTcpSocket&)> peerAllowed;
        // Tests only: asked before each I/O step of a slot, to walk every error path of the glue.
        std::function<IoFault(int slot, IoStep step)> fault;
        // A message passed the size limit (given): the pages are told, then its connection ends.
        std::function<void(std::size_t limit)> messageTooLarge;
    };

    // maxSlots below kMaxSlots only where a smaller array is wanted (tests of the full array); the
    // limit on open files may make it smaller still.
    explicit LinkerPool(Hooks hooks, int maxSlots = kMaxSlots, QObject* parent = nullptr);
    ~LinkerPool() override;

    // The message limit holds for connections accepted from now on, the total at once.
    void setMessageLimits(const mWSProtocol::MessageLimits& limits);
    void setMessageTooLarge(std::function<void(std::size_t limit)> tell);
    // kHandshakeTimeout unless a test wants it shorter.
    void setHandshakeTimeout(std::chrono::milliseconds timeout) { m_handshakeTimeout = timeout; }
    int maxConnections() const { return m_maxSlots; }

    // Listens on the port of the loopback addresses (127.0.0.1 and, where there is one, ::1), or of
    // every local address; false with the reason on failure.
    bool StartListening(quint16 port, bool allAddresses, QString* error);
    bool isListening() const;
    quint16 listeningPort() const;

    // Closes slot index and counts it down (once, whoever closes first).
    void DropConnection(int index);

    // Closes the open connections of a site's pages (let in or waiting for the user's answer), as
    // the agent's own drops; returns how many.
    int CloseOrigin(const std::string& origin);

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
    // The site whose page holds that connection ("" when it named none or has gone).
    std::string OriginOf(Peer peer) const;

    int ConnectedCount() const { return m_connectedCount; }
    int slotCount() const { return static_cast<int>(m_slots.size()); }
    bool slotHandshaked(int index) const;
    // Bytes that arrived on a slot and wait until it has carried out the earlier ones (or until the
    // budget of unfinished messages has room).
    std::size_t unreadBytes(int index) const;
    // Bytes of unfinished messages kept by all connections together.
    std::size_t keptBytes() const { return m_keptTotal; }
    // Connections not read until the budget has room.
    int waitingConnections() const { return m_waitingCount; }
    bool acceptPaused() const { return m_acceptPaused; }

    void CloseAll();

  private:
    struct Linker {
        QPointer<QTcpSocket> socket;
        mWSProtocol::LinkerSession session; // the slot's record: Handshaked, reassembly state
        bool counted = false;               // counted in ConnectedCount and not yet counted down
        bool feeding = false;               // session.feed() results are being carried out; bytes
                                            // arriving meanwhile stay in the socket until then
        quint64 generation = 0;             // changes whenever the slot takes a new connection
        std::size_t kept = 0;               // session.keptBytes() as last counted in m_keptTotal
        quint64 keptSince = 0;       // when it began keeping bytes (order of m_keptSerial); 0: keeps none
        bool waiting = false;        // not read until the budget has room
        std::uint64_t askTicket = 0; // waits for the desktop user's answer (Hooks::ask)
        QTimer handshakeTimer;
    };

    struct Listener {
        std::unique_ptr<QTcpServer> server;       // listens; accepts too where the agent cannot
        std::unique_ptr<QSocketNotifier> pending; // connections queued, where the agent accepts itself
    };

    void addSlot();
    void onNewConnection(QTcpServer& listener);
    // Accepts what is queued on a listener, a batch at a time.
    void onListenerReadable(QTcpServer& listener);
    void takeConnection(QTcpSocket* incoming);
    void onAcceptError(QTcpServer& listener);
    void pauseAccepting(int error, const QString& description);
    void resumeAccepting();
    void onHandshakeTimeout(int index);
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
    // The bytes slot index may take now: all it has, or as much as the budget leaves it; none (and
    // the slot waits) when the budget is spent.
    QByteArray takeArrival(int index);
    std::vector<mWSProtocol::WsAction> feed(int index, const QByteArray& arrival);
    // Brings m_keptTotal and the senior holder up to date with what slot index keeps now.
    void recount(int index);
    void wakeWaiting();
    void askUser(int index, quint64 generation, const std::string& origin);
    void onAnswer(int index, quint64 generation, bool allowed);
    // Writes the whole frame or drops the connection; false when it was dropped.
    bool sendAll(int index, IoFault fault, const std::string& bytes);
    IoFault faultAt(int index, IoStep step) const;
    // What Qt reports when a connection breaks: the error, then the close.
    void breakConnection(int index);

    Hooks m_hooks;
    std::vector<Listener> m_listeners;
    std::vector<std::unique_ptr<Linker>> m_slots;
    int m_connectedCount = 0;
    int m_maxSlots = kMaxSlots;
    Peer m_delivering;
    std::chrono::milliseconds m_handshakeTimeout = kHandshakeTimeout;

    bool m_acceptPaused = false;  // a listener was refused a descriptor and waits
    bool m_acceptFailing = false; // ... and said so in the log pane; no more lines until one succeeds
    QTimer m_acceptRetry;

    // The budget: the connection that began keeping bytes first (the senior) may complete its message
    // (up to maxMessageBytes); the others together keep at most totalBytes - maxMessageBytes. So the
    // total stays within totalBytes and the senior always gets on, whoever waits.
    mWSProtocol::MessageLimits m_limits;
    std::size_t m_keptTotal = 0;
    int m_senior = -1;
    quint64 m_keptSerial = 0;
    int m_waitingCount = 0;
    bool m_wakeQueued = false;
};

} // namespace verolux
