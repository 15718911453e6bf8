// The cross-built Qt runs under Wine: widgets on the offscreen platform, painting Chinese text
// into a PDF, and a loopback TCP exchange.
#include <gtest/gtest.h>

#include <QApplication>
#include <QByteArray>
#include <QFile>
#include <QHostAddress>
#include <QLabel>
#include <QPainter>
#include <QPdfWriter>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>

TEST(QtSmoke, PaintsChineseTextIntoAPdf) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("报表.pdf"));
    {
        QPdfWriter writer(path);
        QPainter painter(&writer);
        ASSERT_TRUE(painter.isActive());
        painter.drawText(100, 100, QStringLiteral("打印报表"));
    }
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_TRUE(file.read(5).startsWith("%PDF-"));
}

TEST(QtSmoke, LoopbackTcpExchange) {
    QTcpServer server;
    ASSERT_TRUE(server.listen(QHostAddress::LocalHost));
    QTcpSocket client;
    client.connectToHost(QHostAddress::LocalHost, server.serverPort());
    ASSERT_TRUE(server.waitForNewConnection(5000));
    QTcpSocket* peer = server.nextPendingConnection();
    ASSERT_TRUE(client.waitForConnected(5000));
    client.write("ping");
    ASSERT_TRUE(client.waitForBytesWritten(5000));
    ASSERT_TRUE(peer->waitForReadyRead(5000));
    EXPECT_EQ(peer->readAll(), QByteArray("ping"));
}

TEST(QtSmoke, WidgetShowsOffscreen) {
    QLabel label(QStringLiteral("就绪"));
    label.show();
    EXPECT_TRUE(label.isVisible());
    EXPECT_EQ(QGuiApplication::platformName(), QStringLiteral("offscreen"));
}

int main(int count, char** args) {
    QApplication app(count, args);
    ::testing::InitGoogleTest(&count, args);
    return RUN_ALL_TESTS();
}
