#pragma once

#include "tests/websocket/FrameBuilder.h"

#include <QByteArray>
#include <QTcpSocket>
#include <QTest>

#include <gtest/gtest.h>

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
    return QByteArray::fromStdString(wstest::upgradeRequest());
}

// Connects and completes the opening handshake.
inline std::unique_ptr<QTcpSocket> Page(quint16 port) {
    auto s = Connect(port);
    s->write(UpgradeRequest());
    EXPECT_TRUE(WaitFor([&] { return s->bytesAvailable() > 0; }));
    s->readAll();
    return s;
}

inline QByteArray ClientFrame(quint8 opcode, const QByteArray& payload, bool fin = true) {
    wstest::FrameOptions o;
    o.fin = fin;
    return QByteArray::fromStdString(wstest::frame(opcode, payload.toStdString(), o));
}

} // namespace agenttest
