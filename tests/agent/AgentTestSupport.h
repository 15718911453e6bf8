#pragma once

#include <QByteArray>
#include <QTcpSocket>
#include <QTest>

#include <memory>

// Helpers shared by the main window's and the connection glue's tests.
namespace agenttest {

// Runs the event loop until cond holds or five seconds pass.
template <class F> bool WaitFor(F cond) {
    for (int i = 0; i < 500 && !cond(); ++i)
        QTest::qWait(10);
    return cond();
}

inline std::unique_ptr<QTcpSocket> Connect(quint16 port) {
    auto s = std::make_unique<QTcpSocket>();
    s->connectToHost(QStringLiteral("127.0.0.1"), port);
    s->waitForConnected(2000);
    return s;
}

inline QByteArray UpgradeRequest() {
    return QByteArrayLiteral(
        "GET / HTTP/1.1\r\nHost: 127.0.0.1\r\nUpgrade: websocket\r\nConnection: Upgrade\r\n"
        "Sec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\nSec-WebSocket-Version: 13\r\n\r\n");
}

// A masked client frame of up to 125 payload bytes, built here and not by the agent's encoder.
inline QByteArray ClientFrame(quint8 opcode, const QByteArray& payload, bool fin = true) {
    QByteArray f;
    f.append(char((fin ? 0x80 : 0) | opcode));
    f.append(char(0x80 | payload.size()));
    const char key[4] = {0x11, 0x22, 0x33, 0x44};
    f.append(key, 4);
    for (int i = 0; i < payload.size(); ++i)
        f.append(char(payload[i] ^ key[i % 4]));
    return f;
}

} // namespace agenttest
