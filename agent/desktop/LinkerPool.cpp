#include "agent/desktop/LinkerPool.h"

#include "agent/desktop/FileLimit.h"
#include "agent/desktop/FreedMemory.h"
#include "agent/desktop/ListenerAccept.h"

#include <QCoreApplication>
#include <QHostAddress>

#include <algorithm>
#include <stdexcept>
#include <utility>

namespace verolux {
namespace {

QString PeerAddressText(const QTcpSocket& s) {
    QHostAddress a = s.peerAddress();
    bool isV4 = false;
    quint32 v4 = a.toIPv4Address(&isV4); // dual-stack sockets report IPv4 peers as ::ffff:a.b.c.d
    return isV4 ? QHostAddress(v4).toString() : a.toString();
}

QString PeerText(const QTcpSocket& s) {
    return PeerAddressText(s) + QLatin1Char(':') + QString::number(s.peerPort());
}

} // namespace

int LinkerPool::ConnectionsWithin(long fileLimit) {
    if (fileLimit < 0) return kMaxSlots;
    return int(std::clamp(fileLimit - kReservedDescriptors, 2L, long(kMaxSlots)));
}

LinkerPool::LinkerPool(Hooks hooks, int maxSlots, QObject* parent)
    : QObject(parent), m_hooks(std::move(hooks)),
      m_maxSlots(std::clamp(std::min(maxSlots, ConnectionsWithin(OpenFileLimit())), 2, kMaxSlots)) {
    // Element 0 exists from the start and the load step creates element 1; both start closed.
    addSlot();
    addSlot();
    m_acceptRetry.setInterval(kAcceptRetry);
    connect(&m_acceptRetry, &QTimer::timeout, this, &LinkerPool::resumeAccepting);
}

void LinkerPool::addSlot() {
    m_slots.push_back(std::make_unique<Linker>());
    const int index = slotCount() - 1;
    QTimer& timer = m_slots.back()->handshakeTimer;
    timer.setSingleShot(true);
    connect(&timer, &QTimer::timeout, this, [this, index] { onHandshakeTimeout(index); });
}

void LinkerPool::setMessageLimits(const mWSProtocol::MessageLimits& limits) {
    m_limits = limits;
}

void LinkerPool::setMessageTooLarge(std::function<void(std::size_t limit)> tell) {
    m_hooks.messageTooLarge = std::move(tell);
}

LinkerPool::~LinkerPool() {
    CloseAll();
}

bool LinkerPool::StartListening(quint16 port, bool allAddresses, QString* error) {
    const QHostAddress addresses[] = {allAddresses ? QHostAddress(QHostAddress::Any)
                                                   : QHostAddress::LocalHost,
                                      QHostAddress::LocalHostIPv6};
    for (const QHostAddress& address : addresses) {
        if (allAddresses && address == QHostAddress::LocalHostIPv6) break; // Any takes IPv6 too
        auto listener = std::make_unique<QTcpServer>();
        listener->setListenBacklogSize(kListenBacklog);
        // Both loopback addresses share one port (the first one's, when any free port was asked for).
        const quint16 at = m_listeners.empty() ? port : m_listeners.front().server->serverPort();
        if (!listener->listen(address, at)) {
            if (!m_listeners.empty()) break; // a machine without IPv6 loopback listens on IPv4 alone
            if (error) *error = listener->errorString();
            return false;
        }
        QTcpServer* server = listener.get();
        std::unique_ptr<QSocketNotifier> pending;
        if (CanAcceptDirectly()) {
            server->pauseAccepting(); // for good: its socket is watched here instead
            pending = std::make_unique<QSocketNotifier>(server->socketDescriptor(), QSocketNotifier::Read);
            connect(pending.get(), &QSocketNotifier::activated, this,
                    [this, server] { onListenerReadable(*server); });
        } else {
            connect(server, &QTcpServer::newConnection, this, [this, server] { onNewConnection(*server); });
            connect(server, &QTcpServer::acceptError, this, [this, server] { onAcceptError(*server); });
        }
        m_listeners.push_back({std::move(listener), std::move(pending)});
    }
    return true;
}

bool LinkerPool::isListening() const {
    return !m_listeners.empty() && m_listeners.front().server->isListening();
}

quint16 LinkerPool::listeningPort() const {
    return m_listeners.empty() ? 0 : m_listeners.front().server->serverPort();
}

bool LinkerPool::busy(int index) const {
    const auto& s = m_slots[size_t(index)]->socket;
    if (!s) return false;
    auto st = s->state();
    return st == QAbstractSocket::ConnectedState || st == QAbstractSocket::ConnectingState ||
           st == QAbstractSocket::HostLookupState;
}

bool LinkerPool::slotHandshaked(int index) const {
    return index >= 0 && index < slotCount() && m_slots[size_t(index)]->session.handshaked();
}

std::size_t LinkerPool::unreadBytes(int index) const {
    if (index < 0 || index >= slotCount()) return 0;
    const Linker& l = *m_slots[size_t(index)];
    return l.socket ? std::size_t(l.socket->bytesAvailable()) : 0;
}

int LinkerPool::takeSlot() {
    for (int i = 0; i < slotCount(); ++i)
        if (!busy(i)) return i;
    if (slotCount() >= m_maxSlots) return -1;
    addSlot();
    return slotCount() - 1;
}

void LinkerPool::onListenerReadable(QTcpServer& listener) {
    // A batch at a time, so that the connections already taken are served between batches.
    constexpr int kAcceptBatch = 64;
    for (int n = 0; n < kAcceptBatch && !m_acceptPaused; ++n) {
        const Accepted a = AcceptWaiting(listener.socketDescriptor());
        switch (a.kind) {
        case Accepted::Kind::Connection: {
            auto* incoming = new QTcpSocket(this);
            if (!incoming->setSocketDescriptor(a.descriptor)) {
                CloseDescriptor(a.descriptor);
                delete incoming;
                break;
            }
            takeConnection(incoming);
            break;
        }
        case Accepted::Kind::NoneWaiting:
            return;
        case Accepted::Kind::OutOfDescriptors:
            return pauseAccepting(int(QAbstractSocket::SocketResourceError),
                                  QStringLiteral("Insufficient resources: no descriptor free"));
        case Accepted::Kind::Failed:
            break;
        }
    }
}

void LinkerPool::onAcceptError(QTcpServer& listener) {
    // Qt has paused the listener itself.
    pauseAccepting(int(listener.serverError()), listener.errorString());
}

void LinkerPool::pauseAccepting(int error, const QString& description) {
    // Out of descriptors, most often: the connections wait in the system's queue until one is free.
    if (!m_acceptFailing)
        m_hooks.addLog(QStringLiteral("监听器发生错误:") + QString::number(error) + QLatin1Char(',') +
                       description);
    m_acceptFailing = true;
    m_acceptPaused = true;
    for (auto& listener : m_listeners)
        if (listener.pending) listener.pending->setEnabled(false);
    m_acceptRetry.start();
}

void LinkerPool::resumeAccepting() {
    if (!m_acceptPaused) return;
    m_acceptPaused = false;
    m_acceptRetry.stop();
    for (auto& listener : m_listeners) {
        if (!listener.server->isListening()) continue;
        if (listener.pending)
            listener.pending->setEnabled(true);
        else
            listener.server->resumeAccepting(); // a failure pauses it again
    }
}

void LinkerPool::onHandshakeTimeout(int index) {
    Linker& l = *m_slots[size_t(index)];
    if (!l.counted || !l.socket || !l.session.awaitingRequest()) return;
    m_hooks.addLog(QStringLiteral("握手超时，关闭连接~") + PeerText(*l.socket));
    DropConnection(index);
}

void LinkerPool::onNewConnection(QTcpServer& listener) {
    while (QTcpSocket* incoming = listener.nextPendingConnection())
        takeConnection(incoming);
}

void LinkerPool::takeConnection(QTcpSocket* incoming) {
    m_acceptFailing = false;
    if (m_hooks.peerAllowed && !m_hooks.peerAllowed(*incoming)) {
        incoming->abort();
        incoming->deleteLater();
        return;
    }
    int i = takeSlot();
    if (i < 0) {
        m_hooks.addLog(QStringLiteral("连接数已满，拒绝连接请求~") + PeerText(*incoming));
        incoming->abort();
        incoming->deleteLater();
        return;
    }
    Linker& l = *m_slots[size_t(i)];
    if (l.socket) { // the old, closed connection of this slot goes now
        l.socket->disconnect(this);
        l.socket->abort();
        l.socket->deleteLater();
    }
    if (l.counted) // closed without a close event reaching us: it stops counting now
        countDown(i);
    releaseBuffers(i);
    l.socket = incoming;
    l.session.reset(m_hooks.accessRules ? m_hooks.accessRules() : nullptr, m_limits.maxMessageBytes);
    l.feeding = false;
    l.counted = true;
    l.handshakeTimer.start(m_handshakeTimeout);
    quint64 gen = ++l.generation;
    incoming->setParent(this);
    incoming->setReadBufferSize(kSocketReadBuffer);
    // Small frames go out at once: a job's events follow each other faster than the page's
    // delayed acknowledgement, and would otherwise wait for it.
    incoming->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    connect(incoming, &QTcpSocket::readyRead, this, [this, i, gen] { onReadyRead(i, gen); });
    connect(incoming, &QTcpSocket::disconnected, this, [this, i, gen] { onDisconnected(i, gen); });
    connect(incoming, &QTcpSocket::errorOccurred, this,
            [this, i, gen](QAbstractSocket::SocketError e) { onSocketError(i, gen, e); });

    ++m_connectedCount;
    m_hooks.connectedCountChanged(m_connectedCount);
    m_hooks.addLog(QStringLiteral("收到一个连接请求~") + PeerText(*incoming));
}

void LinkerPool::countDown(int index) {
    Linker& l = *m_slots[size_t(index)];
    if (!l.counted) return;
    l.counted = false;
    --m_connectedCount;
    m_hooks.connectedCountChanged(m_connectedCount);
}

void LinkerPool::onDisconnected(int index, quint64 generation) {
    Linker& l = *m_slots[size_t(index)];
    if (l.generation != generation || !l.counted)
        return; // the agent dropped it: already counted down, no close event
    m_hooks.addLog(QStringLiteral("连接关闭"));
    countDown(index);
    releaseBuffers(index);
}

void LinkerPool::releaseBuffers(int index) {
    Linker& l = *m_slots[size_t(index)];
    l.handshakeTimer.stop();
    if (const std::uint64_t ticket = std::exchange(l.askTicket, 0); ticket && m_hooks.withdraw)
        m_hooks.withdraw(ticket); // a page that went away keeps no place among the questions
    const std::size_t freed = l.session.release();
    recount(index);
    if (l.waiting) {
        l.waiting = false;
        --m_waitingCount;
    }
    // A big unfinished message leaves freed pages inside the heap; hand them back to the system.
    if (freed >= kTrimAfterBytes) ReturnFreedMemory();
    // The connection's descriptor is free again.
    resumeAccepting();
}

void LinkerPool::onSocketError(int index, quint64 generation, QAbstractSocket::SocketError error) {
    Linker& l = *m_slots[size_t(index)];
    // A peer that closes is reported as an error by Qt too; that is the close event, not an error.
    if (l.generation != generation || !l.counted || error == QAbstractSocket::RemoteHostClosedError) return;
    m_hooks.addLog(QStringLiteral("连接器发生错误:") + QString::number(index) + QLatin1Char(',') +
                   QString::number(int(error)) + QLatin1Char(',') +
                   (l.socket ? l.socket->errorString() : QString()));
}

void LinkerPool::DropConnection(int index) {
    if (index < 0 || index >= slotCount()) return;
    Linker& l = *m_slots[size_t(index)];
    bool wasCounted = l.counted;
    l.counted = false; // before close(): the disconnected signal it emits must not count again
    if (l.socket) {
        l.socket->flush(); // a refusal written just before goes out first
        l.socket->abort();
    }
    releaseBuffers(index);
    if (wasCounted) {
        --m_connectedCount;
        m_hooks.connectedCountChanged(m_connectedCount);
    }
}

int LinkerPool::CloseOrigin(const std::string& origin) {
    int closed = 0;
    for (int i = 0; i < slotCount(); ++i) {
        const Linker& l = *m_slots[size_t(i)];
        if (l.counted && l.socket && !origin.empty() && l.session.origin() == origin) {
            DropConnection(i);
            ++closed;
        }
    }
    return closed;
}

LinkerPool::IoFault LinkerPool::faultAt(int index, IoStep step) const {
    return m_hooks.fault ? m_hooks.fault(index, step) : IoFault::None;
}

void LinkerPool::breakConnection(int index) {
    Linker& l = *m_slots[size_t(index)];
    onSocketError(index, l.generation, QAbstractSocket::NetworkError);
    if (l.socket) l.socket->abort(); // emits disconnected: the peer-close path counts it down
}

bool LinkerPool::sendAll(int index, IoFault fault, const std::string& bytes) {
    Linker& l = *m_slots[size_t(index)];
    if (fault == IoFault::SocketError) {
        breakConnection(index);
        return false;
    }
    const qint64 size = qint64(bytes.size());
    const qint64 asked = fault == IoFault::StepFails ? size / 2 : size;
    if (l.socket->write(bytes.data(), asked) != size) {
        // A frame cut short would garble everything after it on this connection.
        DropConnection(index);
        return false;
    }
    return true;
}

void LinkerPool::onReadyRead(int index, quint64 generation) {
    Linker& l = *m_slots[size_t(index)];
    if (l.generation != generation || !l.socket) return;
    // An outer call on this slot is still carrying out actions; it reads these bytes next. Until
    // then they stay in the socket, whose read buffer is bounded.
    if (l.feeding) return;
    if (faultAt(index, IoStep::Read) != IoFault::None) return breakConnection(index);
    const QByteArray data = takeArrival(index);
    if (data.isEmpty()) return;
    l.feeding = true;
    carryOut(index, generation, feed(index, data));
}

QByteArray LinkerPool::takeArrival(int index) {
    Linker& l = *m_slots[size_t(index)];
    const qint64 available = l.socket->bytesAvailable();
    if (available <= 0) return {};
    // The upgrade request is small and bounded by itself; it never waits.
    qint64 room = available;
    if (l.session.handshaked() && m_senior >= 0 && m_senior != index) {
        const std::size_t others = m_keptTotal - m_slots[size_t(m_senior)]->kept;
        const std::size_t share =
            m_limits.totalBytes - std::min(m_limits.totalBytes, m_limits.maxMessageBytes);
        room = std::min<qint64>(available, qint64(share - std::min(share, others)));
    }
    if (room <= 0) {
        if (!l.waiting) {
            l.waiting = true;
            ++m_waitingCount;
        }
        return {};
    }
    if (l.waiting) {
        l.waiting = false;
        --m_waitingCount;
    }
    return room == available ? l.socket->readAll() : l.socket->read(room);
}

std::vector<mWSProtocol::WsAction> LinkerPool::feed(int index, const QByteArray& arrival) {
    std::vector<mWSProtocol::WsAction> actions =
        m_slots[size_t(index)]->session.feed(std::string_view(arrival.constData(), size_t(arrival.size())));
    recount(index);
    return actions;
}

void LinkerPool::recount(int index) {
    Linker& l = *m_slots[size_t(index)];
    const std::size_t now = l.session.keptBytes();
    if (now == l.kept) return;
    const bool freed = now < l.kept;
    m_keptTotal = m_keptTotal - l.kept + now;
    l.kept = now;
    if (now > 0 && l.keptSince == 0) {
        l.keptSince = ++m_keptSerial;
        if (m_senior < 0) m_senior = index;
    } else if (now == 0) {
        l.keptSince = 0;
        if (m_senior == index) {
            // The next senior is the connection that began keeping bytes first.
            m_senior = -1;
            for (int i = 0; i < slotCount(); ++i) {
                const quint64 since = m_slots[size_t(i)]->keptSince;
                if (since != 0 && (m_senior < 0 || since < m_slots[size_t(m_senior)]->keptSince))
                    m_senior = i;
            }
        }
    }
    if (freed && m_waitingCount > 0 && !m_wakeQueued) {
        // From the event loop: this may run inside the very arrival that freed the bytes.
        m_wakeQueued = true;
        QMetaObject::invokeMethod(this, &LinkerPool::wakeWaiting, Qt::QueuedConnection);
    }
}

void LinkerPool::wakeWaiting() {
    m_wakeQueued = false;
    // Indices, not iterators: the array may grow meanwhile.
    for (int i = 0; i < slotCount() && m_waitingCount > 0; ++i) {
        Linker& l = *m_slots[size_t(i)];
        if (l.waiting) onReadyRead(i, l.generation); // Qt does not signal the bytes it already holds
    }
}

void LinkerPool::carryOut(int index, quint64 generation, std::vector<mWSProtocol::WsAction> actions) {
    while (runActions(index, generation, actions)) {
        Linker& l = *m_slots[size_t(index)]; // the array may have grown meanwhile
        if (l.generation != generation || !l.socket) return;
        // Qt does not signal readyRead again for bytes that came while its handler was running.
        const QByteArray more = takeArrival(index);
        if (more.isEmpty()) break;
        actions = feed(index, more);
    }
    Linker& l = *m_slots[size_t(index)];
    if (l.generation == generation) l.feeding = false;
}

void LinkerPool::askUser(int index, quint64 generation, const std::string& origin) {
    QPointer<LinkerPool> self(this);
    auto answer = [self, index, generation](bool allowed) {
        // Carried out from the event loop, never inside the call that asked.
        if (self)
            QMetaObject::invokeMethod(
                self, [self, index, generation, allowed] { self->onAnswer(index, generation, allowed); },
                Qt::QueuedConnection);
    };
    if (!m_hooks.ask) return answer(false);
    const std::uint64_t ticket = m_hooks.ask(origin, std::move(answer));
    Linker& l = *m_slots[size_t(index)];
    if (l.generation == generation) l.askTicket = ticket;
}

void LinkerPool::onAnswer(int index, quint64 generation, bool allowed) {
    Linker& l = *m_slots[size_t(index)];
    if (l.generation != generation || !l.counted || !l.socket) return; // the page has gone meanwhile
    l.askTicket = 0;
    if (l.feeding) {
        QMetaObject::invokeMethod(
            this, [this, index, generation, allowed] { onAnswer(index, generation, allowed); },
            Qt::QueuedConnection);
        return;
    }
    l.feeding = true;
    carryOut(index, generation, l.session.answer(allowed));
}

bool LinkerPool::runActions(int index, quint64 generation,
                            const std::vector<mWSProtocol::WsAction>& actions) {
    using Kind = mWSProtocol::WsAction::Kind;
    std::vector<std::string_view> lines;
    for (std::size_t n = 0; n < actions.size(); ++n) {
        const auto& a = actions[n];
        Linker& l = *m_slots[size_t(index)];
        if (l.generation != generation || !l.counted || !l.socket) return false;
        switch (a.kind) {
        case Kind::Send:
            if (!sendAll(index, faultAt(index, IoStep::Write), a.data)) return false;
            break;
        case Kind::Deliver: {
            if (faultAt(index, IoStep::Deliver) != IoFault::None) {
                breakConnection(index);
                return false;
            }
            // Deliveries nest when a print lets events run; each sees its own sender.
            const Peer outer = m_delivering;
            m_delivering = {index, generation};
            m_hooks.deliver(a.data);
            m_delivering = outer;
            break;
        }
        case Kind::Drop:
            if (a.messageTooLarge && m_hooks.messageTooLarge) {
                // Told like an unreadable request, then closed; the pages' answer may let events run.
                m_hooks.messageTooLarge(m_limits.maxMessageBytes);
                if (m_slots[size_t(index)]->generation != generation) return false;
            }
            DropConnection(index);
            return false;
        case Kind::LogPane:
            m_hooks.addLog(QString::fromStdString(a.data));
            break;
        case Kind::Ask:
            if (a.asksAgain && m_hooks.askAgainLater) {
                // The page tries again by itself: it is answered now, or told the question is open.
                const std::optional<bool> known = m_hooks.askAgainLater(a.data);
                mWSProtocol::LinkerSession& session = m_slots[size_t(index)]->session;
                return runActions(index, generation, known ? session.answer(*known) : session.tellAwaiting());
            }
            askUser(index, generation, a.data);
            break;
        case Kind::LogFile:
            // Trace lines that follow each other go out with one open of the log file.
            lines.clear();
            for (; n < actions.size() && actions[n].kind == Kind::LogFile; ++n)
                lines.emplace_back(actions[n].data);
            --n;
            try {
                const IoFault fault = faultAt(index, IoStep::LogWrite);
                if (fault == IoFault::SocketError) {
                    breakConnection(index);
                    return false;
                }
                if (fault == IoFault::StepFails) throw std::runtime_error("log file not writable");
                m_hooks.writeLog(lines);
            } catch (...) {
                // A log file that cannot be written ends the arrival like any other error here.
                DropConnection(index);
                return false;
            }
            break;
        }
    }
    return true;
}

void LinkerPool::Broadcast(const std::string& frame) {
    // Indices, not iterators: events run between sends and may add slots.
    for (int i = 0; i < slotCount(); ++i) {
        Linker& l = *m_slots[size_t(i)];
        // A connection whose upgrade request is not answered yet would read the frame as the
        // answer's status line and fail.
        if (!l.socket || l.socket->state() != QAbstractSocket::ConnectedState || !l.session.handshaked())
            continue;
        if (!sendAll(i, faultAt(i, IoStep::Write), frame)) continue;
        l.socket->flush();
        QCoreApplication::processEvents();
    }
}

bool LinkerPool::SendTo(Peer peer, const std::string& frame) {
    if (peer.index < 0 || peer.index >= slotCount()) return false;
    Linker& l = *m_slots[size_t(peer.index)];
    if (l.generation != peer.generation || !l.counted || !l.socket ||
        l.socket->state() != QAbstractSocket::ConnectedState)
        return false;
    if (!sendAll(peer.index, faultAt(peer.index, IoStep::Write), frame)) return false;
    // Out now, not when the event loop next turns: the sender is told while the work goes on.
    l.socket->flush();
    return true;
}

std::string LinkerPool::OriginOf(Peer peer) const {
    if (peer.index < 0 || peer.index >= slotCount()) return {};
    const Linker& l = *m_slots[size_t(peer.index)];
    return l.generation == peer.generation ? l.session.origin() : std::string();
}

void LinkerPool::CloseAll() {
    m_acceptRetry.stop();
    for (auto& listener : m_listeners) {
        listener.pending.reset(); // before its socket closes
        listener.server->close();
    }
    for (auto& l : m_slots) {
        if (l->socket) {
            l->socket->disconnect(this);
            l->socket->abort();
        }
    }
}

} // namespace verolux
