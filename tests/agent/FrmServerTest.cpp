#include "agent/desktop/frmServer.h"
#include "agent/desktop/LinkerPool.h"
#include "agent/desktop/ServerPrintHost.h"
#include "agent/desktop/SiteQuestions.h"
#include "agent/desktop/TrayIcon.h"
#include "agent/desktop/frmSiteQuestion.h"
#include "agent/desktop/frmSites.h"
#include "common/Version.h"
#include "tests/agent/AgentTestSupport.h"
#include "tests/common/CannedServer.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QPushButton>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <vector>

using verolux::frmServer;

using agenttest::ClientFrame;
using agenttest::UpgradeRequest;
using agenttest::WaitFor;

namespace {

class MainWindowTest : public testing::Test {
  protected:
    void SetUp() override {
        frmServer::Options o;
        o.programFolder = m_dir.path().toStdString();
        o.initialPort = QStringLiteral("0"); // any free port
        o.withTray = false;
        m_window = std::make_unique<frmServer>(o);
        m_window->Load();
        ASSERT_TRUE(m_window->linkers().isListening());
        m_port = m_window->linkers().listeningPort();
    }

    std::unique_ptr<QTcpSocket> Connect() { return agenttest::Connect(m_port); }

    std::unique_ptr<QTcpSocket> Page() { return agenttest::Page(m_port); }

    int Count() const { return m_window->lbConnectedCount->text().toInt(); }
    QString Pane() const { return QString::fromStdU16String(m_window->logPane().text()); }

    // A connection whose upgrade request names the page's site, followed by `after`.
    std::unique_ptr<QTcpSocket> PageOf(const char* origin, const QByteArray& after = {}) {
        auto s = Connect();
        QByteArray request = UpgradeRequest();
        request.insert(request.size() - 2, QByteArray("Origin: ") + origin + "\r\n");
        s->write(request + after);
        return s;
    }

    // The sites window, opened from the main window.
    verolux::frmSites* Sites() {
        m_window->ShowSites();
        return m_window->findChild<verolux::frmSites*>();
    }
    // Its rows as "site answer origin", comma-separated.
    static std::string SiteRows(const verolux::frmSites& sites) {
        QStringList r;
        for (int i = 0; i < sites.lstSites->topLevelItemCount(); ++i) {
            const QTreeWidgetItem* item = sites.lstSites->topLevelItem(i);
            r << item->text(0) + QLatin1Char(' ') + item->text(1) + QLatin1Char(' ') + item->text(2);
        }
        return r.join(QStringLiteral(", ")).toStdString();
    }

    // With VEROLUX_SCREENSHOT_DIR set (under Xvfb), saves the window as the operator sees it.
    static void Screenshot(QWidget& w, const char* name) {
        if (const QByteArray dir = qgetenv("VEROLUX_SCREENSHOT_DIR"); !dir.isEmpty()) {
            ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
            ASSERT_TRUE(w.grab().save(QString::fromLocal8Bit(dir) + QLatin1Char('/') + QLatin1String(name)));
        }
    }

    QTemporaryDir m_dir;
    std::unique_ptr<frmServer> m_window;
    quint16 m_port = 0;
};

// Every handshaken page gets the frame; a connection whose upgrade is not answered yet gets nothing,
// which it would read as the answer's status line. A text over one frame is not sent at all.
TEST_F(MainWindowTest, BroadcastReachesEveryConnectedPage) {
    auto a = Page(), b = Page();
    auto late = Connect();
    ASSERT_TRUE(WaitFor([&] { return Count() == 3; }));
    m_window->txtSend->setPlainText(QString(65536, QLatin1Char('x')));
    m_window->cmdSend_Click();
    EXPECT_TRUE(Pane().contains(QStringLiteral("发送内容超过 65535 字节，未发送")));
    EXPECT_FALSE(Pane().contains(QStringLiteral("发送<")));
    m_window->txtSend->setPlainText(QStringLiteral("hello"));
    EXPECT_EQ(m_window->lbChrCount->text(), QStringLiteral("5"));
    m_window->cmdSend_Click();
    EXPECT_TRUE(Pane().contains(QStringLiteral("发送<7>字节")));
    const QByteArray expected("\x81\x05hello", 7);
    ASSERT_TRUE(WaitFor([&] { return a->bytesAvailable() >= 7 && b->bytesAvailable() >= 7; }));
    EXPECT_EQ(a->readAll(), expected);
    EXPECT_EQ(b->readAll(), expected);
    late->write(UpgradeRequest() + ClientFrame(9, QByteArray("ping")));
    ASSERT_TRUE(
        WaitFor([&] { return Pane().contains(QStringLiteral("opPing")) && late->bytesAvailable() > 0; }));
    EXPECT_TRUE(late->readAll().startsWith("HTTP/1.1 101 "));
    if (!qEnvironmentVariableIsEmpty("VEROLUX_SCREENSHOT_DIR")) {
        m_window->txtSend->setPlainText(QStringLiteral("找不到报表文件:orders.grf"));
        m_window->ShowWindow();
        Screenshot(*m_window, "main-window.png");
    }
}

// A reply longer than one frame carries is cut between two characters, so the pages still hear
// it; the operator's own send box refuses such a text instead (above).
TEST_F(MainWindowTest, ReplyLongerThanAFrameIsCutBetweenCharacters) {
    auto page = Page();
    ASSERT_TRUE(WaitFor([&] { return Count() == 1; }));
    const QString prefix = QStringLiteral("找不到报表文件:");
    const QString name(100000, QChar(0x62A5)); // 报, three bytes each
    m_window->Reply(prefix + name);
    const qsizetype fits = (65535 - prefix.toUtf8().size()) / 3;
    const QByteArray text = (prefix + name.left(fits)).toUtf8();
    ASSERT_TRUE(WaitFor([&] { return page->bytesAvailable() >= 4 + text.size(); }));
    const QByteArray frame = page->readAll();
    EXPECT_EQ(frame.left(4), QByteArray::fromHex("817E") + QByteArray(1, char(text.size() >> 8)) +
                                 QByteArray(1, char(text.size() & 0xFF)));
    EXPECT_EQ(frame.mid(4), text);
}

TEST_F(MainWindowTest, PortInUseShowsTheReasonAndKeepsTheButton) {
    frmServer::Options o;
    o.programFolder = m_dir.path().toStdString();
    o.initialPort = QString::number(m_port);
    o.withTray = false;
    frmServer second(o);
    second.Load();
    EXPECT_FALSE(second.linkers().isListening());
    EXPECT_TRUE(second.cmdRunning->isEnabled());
    EXPECT_TRUE(QString::fromStdU16String(second.logPane().text()).contains(QStringLiteral(" 失败:")));
    EXPECT_FALSE(m_window->cmdRunning->isEnabled());
}

// The print procedure lets events run (its reply is a broadcast); bytes arriving meanwhile on the
// same connection must wait their turn and come out whole and in order.
TEST_F(MainWindowTest, ArrivalsDuringAPrintKeepTheirOrder) {
    std::vector<std::string> delivered;
    int depth = 0, maxDepth = 0;
    auto client = Connect();
    m_window->setPrintProcedure([&](frmServer& w, std::string text) {
        ++depth;
        maxDepth = std::max(maxDepth, depth);
        delivered.push_back(text);
        if (text == "m0") {
            // The rest of the stream arrives while this message is still being handled.
            QByteArray rest;
            for (int i = 1; i < 50; ++i)
                rest += ClientFrame(1, "m" + QByteArray::number(i));
            // Replies yield to the event loop after each send: keep replying until the agent has
            // read the bytes, cut inside a frame, that arrived meanwhile.
            for (const qsizetype upTo : {qsizetype(37), rest.size()}) {
                client->write(rest.mid(w.linkers().unreadBytes(0), upTo - w.linkers().unreadBytes(0)));
                client->flush();
                EXPECT_TRUE(WaitFor([&] {
                    w.Reply(QStringLiteral("busy"));
                    return w.linkers().unreadBytes(0) == std::size_t(upTo);
                }));
            }
        }
        --depth;
    });
    client->write(UpgradeRequest() + ClientFrame(1, "m0"));
    ASSERT_TRUE(WaitFor([&] { return delivered.size() == 50; }));
    for (int i = 0; i < 50; ++i)
        EXPECT_EQ(delivered[size_t(i)], "m" + std::to_string(i));
    EXPECT_EQ(maxDepth, 1) << "a connection's messages are never delivered inside one another";
}

// The test button runs the request stored in repdata.txt of the program folder.
TEST_F(MainWindowTest, TestButtonRunsTheStoredRequest) {
    verolux::ServerPrintHost host(*m_window);
    m_window->setPrintProcedure([&](frmServer&, std::string text) { host.Run(std::move(text)); });

    m_window->cmdPrint_Click(); // no file: nothing to do, nothing sent
    EXPECT_TRUE(Pane().endsWith(QStringLiteral(" 没有 Json 数据")));

    auto client = Page();
    const std::string request = "{\"preview\":\"1\", \"repname\": 42"; // cut off
    QFile file(m_dir.filePath(QStringLiteral("repdata.txt")));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(request.data(), qint64(request.size()));
    file.close();
    m_window->cmdPrint_Click();

    EXPECT_TRUE(Pane().contains(QStringLiteral("RepPrint 过程出错！")));
    const QByteArray reply = QStringLiteral("RepPrint 过程出错！").toUtf8();
    ASSERT_TRUE(WaitFor([&] { return client->bytesAvailable() >= reply.size() + 2; }));
    EXPECT_EQ(client->readAll(), QByteArray(1, char(0x81)) + char(reply.size()) + reply);
    QFile log(m_dir.filePath(QStringLiteral("MyLog.txt")));
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    EXPECT_TRUE(log.readAll().endsWith(QByteArray::fromStdString(" " + request + "\r\n")));
}

// The sites list shows what is remembered in the settings; 删除 forgets a site.
TEST_F(MainWindowTest, SitesListAndRemove) {
    m_window->settings().WriteIni("Sites", "https://erp.example.com", "1");
    m_window->settings().WriteIni("Sites", "http://old.example:8080", "0");
    auto* sites = Sites();
    ASSERT_NE(sites, nullptr);
    EXPECT_EQ(SiteRows(*sites), "http://old.example:8080 拒绝 已记住, https://erp.example.com 允许 已记住");
    Screenshot(*sites, "site-list.png");
    sites->lstSites->topLevelItem(1)->setSelected(true);
    sites->cmdRemove->click();
    EXPECT_EQ(SiteRows(*sites), "http://old.example:8080 拒绝 已记住");
    EXPECT_EQ(m_window->settings().ReadIni("Sites", "https://erp.example.com"), "");
}

// A site allowed for this run only is listed as such; removing a site closes its pages'
// connections and leaves the others open.
TEST_F(MainWindowTest, RemovingASiteClosesItsConnections) {
    m_window->settings().WriteIni("Sites", "https://erp.example.com", "1");
    m_window->siteQuestions().setDesktop(true);
    auto answered = [](QTcpSocket& s) { return WaitFor([&] { return s.bytesAvailable() > 0; }); };
    auto erp = PageOf("https://erp.example.com");
    ASSERT_TRUE(answered(*erp));
    EXPECT_TRUE(erp->readAll().startsWith("HTTP/1.1 101 "));
    auto other = PageOf("https://other.example");
    ASSERT_TRUE(WaitFor([&] {
        auto* q = m_window->siteQuestions().question();
        return q && q->cmdAllow->isEnabled();
    }));
    QTest::mouseClick(m_window->siteQuestions().question()->cmdAllow, Qt::LeftButton); // not remembered
    ASSERT_TRUE(answered(*other));
    EXPECT_TRUE(other->readAll().startsWith("HTTP/1.1 101 "));
    ASSERT_TRUE(WaitFor([&] { return Count() == 2; }));

    auto* sites = Sites();
    ASSERT_NE(sites, nullptr);
    EXPECT_EQ(SiteRows(*sites), "https://erp.example.com 允许 已记住, https://other.example 允许 仅本次运行");
    sites->lstSites->topLevelItem(1)->setSelected(true);
    sites->cmdRemove->click();
    EXPECT_TRUE(WaitFor([&] { return other->state() == QAbstractSocket::UnconnectedState; }));
    EXPECT_EQ(Count(), 1);
    EXPECT_EQ(erp->state(), QAbstractSocket::ConnectedState);
    EXPECT_TRUE(Pane().contains(QStringLiteral("已断开 https://other.example 的 1 个连接")));
    sites->lstSites->topLevelItem(0)->setSelected(true);
    sites->cmdRemove->click(); // a remembered site's pages go too
    EXPECT_TRUE(WaitFor([&] { return erp->state() == QAbstractSocket::UnconnectedState; }));
    EXPECT_EQ(Count(), 0);
}

// The administrator's policy file decides its sites: listed as such, not removable, and under its
// "listed" a site the user allowed is refused.
TEST_F(MainWindowTest, PolicySitesAreLocked) {
    const QString policy = m_dir.filePath(QStringLiteral("policy.ini"));
    QFile f(policy);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("[Verolux]\r\nSitePolicy=listed\r\n[Sites]\r\nhttps://erp.example.com=1\r\n"
            "https://ads.example=0\r\n");
    f.close();
    qputenv("VEROLUX_POLICY", policy.toLocal8Bit());
    struct Unset {
        ~Unset() { qunsetenv("VEROLUX_POLICY"); }
    } unset;
    m_window->settings().WriteIni("Sites", "https://ads.example", "1");
    m_window->settings().WriteIni("Sites", "https://mine.example", "1");
    m_window->settings().WriteIni("Sites", "https://old.example", "0");
    // A ping right behind the request: a page let in gets its pong, a refused one the close 4403.
    auto outcome = [this](const char* origin) {
        auto s = PageOf(origin, ClientFrame(0x9, {}));
        const QByteArray pong("\x8a\x00", 2);
        QByteArray got;
        WaitFor([&] {
            got += s->readAll();
            return got.contains("site-refused") || got.endsWith(pong);
        });
        return got.contains("site-refused") ? "refused" : got.endsWith(pong) ? "allowed" : "?";
    };
    EXPECT_STREQ(outcome("https://erp.example.com"), "allowed");
    EXPECT_STREQ(outcome("https://ads.example"), "refused") << "the administrator's 0 wins over the user's 1";
    EXPECT_STREQ(outcome("https://mine.example"), "refused") << "under the administrator's listed";

    auto* sites = Sites();
    ASSERT_NE(sites, nullptr);
    EXPECT_EQ(SiteRows(*sites),
              "https://ads.example 拒绝 管理员设定, https://erp.example.com 允许 管理员设定, "
              "https://old.example 拒绝 已记住");
    Screenshot(*sites, "site-list-policy.png");
    for (int i = 0; i < 3; ++i) {
        sites->lstSites->topLevelItem(i)->setSelected(true);
        sites->cmdRemove->click();
    }
    EXPECT_EQ(SiteRows(*sites),
              "https://ads.example 拒绝 管理员设定, https://erp.example.com 允许 管理员设定");
}

// Closing the window hides it and the agent goes on; Exit ends the event loop even while other
// windows (a report left open) exist.
TEST_F(MainWindowTest, ClosingHidesExitEnds) {
    EXPECT_EQ(m_window->windowTitle(), QStringLiteral("Web报表服务端 (") +
                                           QString::fromStdString(verolux::VersionText()) + QLatin1Char(')'));
    m_window->ShowWindow();
    m_window->close();
    // Qt on Windows hands the close to the window system: the close event may come a moment later.
    EXPECT_TRUE(WaitFor([&] { return !m_window->isVisible(); }));
    EXPECT_TRUE(m_window->linkers().isListening()) << "a hidden agent still accepts connections";
    QWidget reportLeftOpen;
    reportLeftOpen.show();
    m_window->ShowWindow();
    QTimer::singleShot(0, m_window.get(), [this] { m_window->ExitAgent(); });
    QTimer watchdog;
    watchdog.setSingleShot(true);
    bool timedOut = false;
    QObject::connect(&watchdog, &QTimer::timeout, [&] {
        timedOut = true;
        QCoreApplication::exit(1);
    });
    watchdog.start(5000);
    EXPECT_EQ(QApplication::exec(), 0);
    EXPECT_FALSE(timedOut);
    EXPECT_FALSE(m_window->linkers().isListening());
}

// Exit while a template trickles in (fast enough never to count as stalled, far too long to wait
// for): the download is aborted, and the agent's end waits for it about a second, not its time-outs.
TEST_F(MainWindowTest, ExitDuringATemplateDownloadEndsPromptly) {
    testsupport::CannedServer server(
        {"HTTP/1.1 200 OK\r\nContent-Length: 10000000\r\n\r\n" + std::string(400000, 'x')}, 200);
    ASSERT_TRUE(QDir(m_dir.path()).mkdir(QStringLiteral("report")));
    auto host = std::make_unique<verolux::ServerPrintHost>(*m_window);
    m_window->setPrintProcedure([&](frmServer&, std::string text) { host->Run(std::move(text)); });
    host->Run(R"({"preview":"2","repname":"slow.grf","reptype":"","reguserno":"","reprintname":"",)"
              R"("sdesign":"0","reporturl":")" +
              server.url("/slow.grf") + R"(","reportmd5":"","reportId":"r1","reportAdd":"","repdata":[]})");
    ASSERT_TRUE(WaitFor([&] { return !server.requests().empty(); })) << "the download did not start";

    QTimer::singleShot(0, m_window.get(), [this] { m_window->ExitAgent(); });
    EXPECT_EQ(QApplication::exec(), 0);
    // As the agent ends: the print procedure goes with the window, waiting for what still runs.
    m_window->setPrintProcedure({});
    QElapsedTimer ending;
    ending.start();
    host.reset();
    EXPECT_LT(ending.elapsed(), 20000) << "the download was waited for, not aborted";
    EXPECT_FALSE(QFile::exists(m_dir.filePath(QStringLiteral("report/slow.grf"))));
}

TEST(TrayTip, CaptionWithLineBreakCutToTheTipField) {
    EXPECT_EQ(mTray::TrayTip("  Web报表服务端 (1.0.0) "), "Web报表服务端 (1.0.0)\r\n");
    std::string longCaption(100, 'a');
    EXPECT_EQ(mTray::TrayTip(longCaption).size(), 63u);
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
