#include "agent/desktop/LinkerPool.h"
#include "tests/agent/AgentTestSupport.h"

#include <QTcpSocket>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

using agenttest::ClientFrame;
using agenttest::UpgradeRequest;
using agenttest::WaitFor;
using verolux::LinkerPool;

namespace {

struct Recorder {
    QStringList pane;
    std::vector<std::string> delivered;
    int count = 0;

    LinkerPool::Hooks hooks() {
        LinkerPool::Hooks h;
        h.addLog = [this](const QString& line) { pane << line; };
        h.writeLog = [](const std::vector<std::string_view>&) {};
        h.deliver = [this](const std::string& text) { delivered.push_back(text); };
        h.connectedCountChanged = [this](int n) { count = n; };
        return h;
    }
};

std::unique_ptr<QTcpSocket> Connect(quint16 port) {
    auto s = std::make_unique<QTcpSocket>();
    s->connectToHost(QStringLiteral("127.0.0.1"), port);
    EXPECT_TRUE(s->waitForConnected(2000));
    return s;
}

// With every slot busy a further connection is closed at once and not counted.
TEST(LinkerPool, FullSlotArrayRefusesTheNextConnectionCleanly) {
    Recorder r;
    LinkerPool pool(r.hooks(), 3);
    ASSERT_TRUE(pool.StartListening(0, nullptr));

    std::vector<std::unique_ptr<QTcpSocket>> clients;
    for (int i = 0; i < 4; ++i) {
        clients.push_back(Connect(pool.listeningPort()));
        ASSERT_TRUE(WaitFor([&] { return r.pane.size() == i + 1; })); // one line per request
    }
    EXPECT_EQ(r.count, 3);
    EXPECT_EQ(pool.slotCount(), 3);
    ASSERT_TRUE(WaitFor([&] { return clients[3]->state() == QAbstractSocket::UnconnectedState; }));
    EXPECT_TRUE(r.pane.last().startsWith(QStringLiteral("连接数已满，拒绝连接请求~127.0.0.1:")));

    clients[0]->disconnectFromHost(); // a slot frees up and the next request gets it
    ASSERT_TRUE(WaitFor([&] { return r.count == 2; }));
    auto again = Connect(pool.listeningPort());
    ASSERT_TRUE(WaitFor([&] { return r.count == 3; }));
    EXPECT_EQ(pool.slotCount(), 3);
}

// The frames a client has received after the 101 answer: "pong" and "ok" each, anything else is
// a garbled stream.
QStringList ServerFrames(QByteArray bytes) {
    QStringList frames;
    const int end = bytes.indexOf("\r\n\r\n");
    if (!bytes.startsWith("HTTP/1.1 101 ") || end < 0) return {QStringLiteral("no 101")};
    bytes.remove(0, end + 4);
    while (bytes.size() >= 2) {
        const int n = quint8(bytes[1]);
        if (bytes.size() < 2 + n) break;
        const QByteArray f = bytes.left(2 + n);
        frames << (f == QByteArray("\x8A\x00", 2)  ? QStringLiteral("pong")
                   : f == QByteArray("\x81\x02ok") ? QStringLiteral("ok")
                                                   : QStringLiteral("garbled"));
        bytes.remove(0, 2 + n);
    }
    if (!bytes.isEmpty()) frames << QStringLiteral("cut");
    return frames;
}

// As Beast's tests do: fail the Nth I/O step of connection A (a short write, a log file that cannot
// be written, the connection breaking) for every N, while B talks at the same time and every message
// is answered by a broadcast that lets events run. A loses at most its own tail; B gets everything,
// whole and in order; the count of open connections stays right; nothing crashes.
TEST(LinkerPool, FailingEachStepOfOneConnectionSparesTheOther) {
    const QByteArray streamA = UpgradeRequest() + ClientFrame(9, "p") + ClientFrame(1, "A:", false) +
                               ClientFrame(0, "1") + ClientFrame(1, "A:2");
    const QByteArray streamB =
        UpgradeRequest() + ClientFrame(9, "p") + ClientFrame(1, "B:1") + ClientFrame(1, "B:2");
    for (auto kind : {LinkerPool::IoFault::StepFails, LinkerPool::IoFault::SocketError}) {
        bool fired = true;
        for (int n = 0; fired; ++n) {
            SCOPED_TRACE(testing::Message() << "fault " << int(kind) << " at step " << n);
            fired = false;
            int step = 0;
            Recorder r;
            LinkerPool* poolRef = nullptr;
            auto hooks = r.hooks();
            hooks.deliver = [&](const std::string& text) {
                r.delivered.push_back(text);
                poolRef->Broadcast(std::string("\x81\x02ok", 4));
            };
            hooks.writeLog = [](const std::vector<std::string_view>&) {};
            hooks.fault = [&](int slot, LinkerPool::IoStep) {
                if (slot != 0 || step++ != n) return LinkerPool::IoFault::None;
                fired = true;
                return kind;
            };
            LinkerPool pool(std::move(hooks));
            poolRef = &pool;
            ASSERT_TRUE(pool.StartListening(0, nullptr));
            auto a = Connect(pool.listeningPort());
            ASSERT_TRUE(WaitFor([&] { return r.count == 1; })); // A has slot 0
            auto b = Connect(pool.listeningPort());
            // Byte by byte in turns, so that the steps of A and B interleave.
            for (int i = 0; i < std::max(streamA.size(), streamB.size()); i += 7) {
                a->write(streamA.mid(i, 7));
                b->write(streamB.mid(i, 7));
                a->flush();
                b->flush();
                QTest::qWait(0);
            }
            auto count = [&](const char* prefix) {
                return std::count_if(r.delivered.begin(), r.delivered.end(),
                                     [&](const std::string& m) { return m.rfind(prefix, 0) == 0; });
            };
            ASSERT_TRUE(WaitFor([&] {
                return count("B:") == 2 &&
                       (count("A:") == 2 || a->state() == QAbstractSocket::UnconnectedState);
            }));
            std::vector<std::string> ofA, ofB;
            for (const auto& m : r.delivered)
                (m[0] == 'A' ? ofA : ofB).push_back(m);
            EXPECT_EQ(ofB, (std::vector<std::string>{"B:1", "B:2"}));
            const std::vector<std::string> allOfA{"A:1", "A:2"};
            EXPECT_TRUE(std::equal(ofA.begin(), ofA.end(), allOfA.begin()));

            // B saw its pong and an "ok" for each message delivered since its handshake, nothing garbled.
            QByteArray got;
            ASSERT_TRUE(WaitFor([&] {
                got += b->readAll();
                return ServerFrames(got).count(QStringLiteral("ok")) >= 2;
            }));
            const QStringList frames = ServerFrames(got);
            EXPECT_EQ(frames.count(QStringLiteral("pong")), 1) << frames.join(QLatin1Char(' ')).toStdString();
            EXPECT_EQ(frames.count(QStringLiteral("pong")) + frames.count(QStringLiteral("ok")),
                      frames.size());
            EXPECT_LE(frames.count(QStringLiteral("ok")), int(r.delivered.size()));

            a->disconnectFromHost();
            b->disconnectFromHost();
            ASSERT_TRUE(WaitFor([&] { return r.count == 0; }));
            EXPECT_EQ(pool.ConnectedCount(), 0);
        }
    }
}

} // namespace
