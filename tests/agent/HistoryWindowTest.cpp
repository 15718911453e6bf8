// 打印记录: the jobs newest first, and 重新打印 for those the agent still holds.
#include "agent/desktop/ServerPrintHost.h"
#include "agent/desktop/frmHistory.h"
#include "agent/desktop/frmServer.h"
#include "agent/reports/windows/frmDocumentPreview.h"
#include "tests/agent/AgentTestSupport.h"

#include <QApplication>
#include <QComboBox>
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>

#include <fstream>
#include <iterator>

#include <gtest/gtest.h>

using namespace verolux;

namespace {

// The agent's window on a free port, without a tray, and the host that carries out its jobs.
struct Agent {
    explicit Agent(const QTemporaryDir& dir) : window(Options(dir)), host(Loaded(window)) {}
    static frmServer& Loaded(frmServer& w) {
        w.Load();
        return w;
    }
    static frmServer::Options Options(const QTemporaryDir& dir) {
        frmServer::Options o;
        o.programFolder = dir.path().toStdString();
        o.initialPort = QStringLiteral("0");
        o.withTray = false;
        return o;
    }
    frmServer window;
    ServerPrintHost host;
};

TEST(HistoryWindow, NewestFirstAndReprintWhereKept) {
    JobHistory history;
    history.Add(
        {0, "2026-12-07 10:00:00", "https://erp.example.com", "report", "orders.grf", "", "completed"});
    history.Add({0, "2026-12-07 10:01:00", "", "raw", "40 bytes", "ZEBRA", "failed"});
    std::vector<std::uint64_t> reprinted;
    frmHistory w({[&]() -> const JobHistory& { return history; }, [](std::uint64_t id) { return id == 1; },
                  [&](std::uint64_t id) { reprinted.push_back(id); }});
    w.setAttribute(Qt::WA_DeleteOnClose, false);
    ASSERT_EQ(w.grdJobs->rowCount(), 2);
    EXPECT_EQ(w.grdJobs->item(0, 3)->text(), QStringLiteral("40 bytes"));
    EXPECT_EQ(w.grdJobs->item(0, 1)->text(), QStringLiteral("本机"));
    EXPECT_EQ(w.grdJobs->item(1, 4)->text(), QStringLiteral("默认打印机"));
    EXPECT_FALSE(w.cmdReprint->isEnabled()); // nothing chosen
    w.grdJobs->selectRow(0);
    EXPECT_FALSE(w.cmdReprint->isEnabled()); // not kept
    w.grdJobs->selectRow(1);
    ASSERT_TRUE(w.cmdReprint->isEnabled());
    w.cmdReprint->click();
    EXPECT_EQ(reprinted, std::vector<std::uint64_t>{1});
    // A new job comes in: the chosen one stays chosen.
    history.Add({0, "2026-12-07 10:02:00", "", "document", "Base64", "", "accepted"});
    w.Refresh();
    EXPECT_EQ(w.grdJobs->rowCount(), 3);
    EXPECT_EQ(w.grdJobs->selectedItems().front()->text(), QStringLiteral("2026-12-07 10:00:00"));
}

// The agent's own history: a raw job and a document that failed (no such printer), each printed
// again from what the agent kept; the file names them but holds none of their bytes.
TEST(PrintHistory, KeptJobsPrintAgainAndTheFileHoldsNoData) {
    QTemporaryDir dir;
    Agent agent(dir);
    ServerPrintHost& host = agent.host;
    host.Run(
        R"({"verolux":{"jobId":"r1","printer":"VX-NO-SUCH-QUEUE","raw":{"text":"^XA SECRET-ZPL ^XZ"}}})");
    host.Run(
        R"({"verolux":{"jobId":"d1","printer":"VX-NO-SUCH-QUEUE","document":{"base64":"JVBERi0xLjQK"}}})");
    const auto states = [&] {
        std::string out;
        for (const HistoryEntry& e : host.history().entries())
            out += e.kind + ":" + e.what + ":" + e.state + " ";
        return out;
    };
    ASSERT_TRUE(agenttest::WaitFor([&] {
        return host.history().entries().size() == 2 && host.history().entries().back().state == "failed";
    })) << states();
    ASSERT_TRUE(host.CanReprint(1) && host.CanReprint(2));
    host.Reprint(1);
    host.Reprint(2);
    ASSERT_TRUE(agenttest::WaitFor([&] {
        return host.history().entries().size() == 4 && host.history().entries().back().state == "failed";
    })) << states();
    EXPECT_EQ(states(),
              "raw:18 bytes:failed document:Base64:failed raw:18 bytes:failed document:Base64:failed ");
    // Written a moment later, once for the burst.
    std::string text;
    ASSERT_TRUE(agenttest::WaitFor([&] {
        std::ifstream in(std::filesystem::path(dir.path().toStdString()) / "history.jsonl");
        text.assign(std::istreambuf_iterator<char>(in), {});
        return JobHistory::FromText(text).entries().size() == 4;
    }));
    EXPECT_EQ(text.find("SECRET"), std::string::npos);
    EXPECT_NE(text.find("VX-NO-SUCH-QUEUE"), std::string::npos);
}

// A document sent for preview opens its window; 打印 there prints it with the job's options on the
// printer chosen (here one that does not exist, or CUPS is down: the log pane says why it did not print).
TEST(DocumentPreview, PrintsFromItsWindow) {
    QTemporaryDir dir;
    Agent agent(dir);
    ServerPrintHost& host = agent.host;
    // A 1 × 1 PNG.
    host.Run(
        R"({"verolux":{"jobId":"v1","action":"preview","document":{"base64":)"
        R"("iVBORw0KGgoAAAANSUhEUgAAAAEAAAABCAAAAAA6fptVAAAACklEQVR4nGNgAAAAAgABSK+kcQAAAABJRU5ErkJggg=="}}})");
    frmDocumentPreview* preview = nullptr;
    ASSERT_TRUE(agenttest::WaitFor([&] {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* p = qobject_cast<frmDocumentPreview*>(w); p && p->isVisible()) preview = p;
        return preview != nullptr;
    }));
    EXPECT_EQ(preview->windowTitle(), QStringLiteral("文档预览-v1"));
    EXPECT_EQ(host.history().entries().back().state, "shown");
    preview->cboPrinter->addItem(QStringLiteral("VX-NO-SUCH-QUEUE"));
    preview->cboPrinter->setCurrentIndex(preview->cboPrinter->count() - 1);
    preview->cmdPrint->click();
    EXPECT_TRUE(QString::fromStdU16String(agent.window.logPane().text())
                    .contains(QStringLiteral("文档打印失败：v1 ")))
        << QString::fromStdU16String(agent.window.logPane().text()).toStdString();
    preview->close();
}

} // namespace
