// The report windows' side of a request: how a report is filled from it, and what the user sees of
// a preview while it loads.
#include "agent/reports/engine/Report.h"
#include "agent/reports/engine/RequestFill.h"
#include "agent/reports/layout/PageLayout.h"
#include "agent/reports/windows/frmPreview.h"
#include "common/RequestRules.h"

#include <QApplication>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

using namespace verolux;
using namespace verolux::reports;

namespace {

const QString kOrders = QStringLiteral(VEROLUX_SOURCE_DIR "/demo/templates/orders.grf");

std::string Request(const std::string& preview, const std::string& extra, const std::string& repdata) {
    return R"({"preview":")" + preview +
           R"(","repname":"orders.grf","reptype":"","reguserno":"",)"
           R"("reprintname":"","sdesign":"0","reporturl":"http://127.0.0.1:9/orders.grf","reportmd5":"",)"
           R"("reportId":"r1","reportAdd":"",)" +
           extra + R"("repdata":)" + repdata + "}";
}

// Every laid-out text of the report, "|" after each.
std::string AllText(Report& r) {
    std::string out;
    for (const Page& p : r.layout().pages)
        for (const PageItem& it : p.items)
            out.append(p.textOf(it)).push_back('|');
    return out;
}

struct Filled {
    Report report;
    explicit Filled(const std::string& request) {
        EXPECT_TRUE(report.LoadTemplate(kOrders)) << report.lastError().toStdString();
        FillFromRequest(report, JsonDocument::Parse(request));
    }
    ScalarValue parameter(const char* name) { return report.Parameters().byName(name)->Value(); }
};

// Parameters come from top-level keys only; one record per row, in order, missing fields empty.
TEST(FillFromRequest, ParametersAndRecords) {
    Filled f(Request("2", R"("company":12.50,)",
                     R"([{"orderNo":"SO-1","amount":1,"title":"行内"},{"orderNo":"SO-2"},)"
                     R"({"orderNo":"SO-3","amount":3}])"));
    EXPECT_EQ(f.parameter("company"), ScalarValue::fromNumber("12.5")); // unchanged, as a number
    // No top-level "title": empty, not the template's default; the row's "title" is no parameter.
    EXPECT_EQ(f.parameter("title"), ScalarValue::empty());
    EXPECT_EQ(f.report.ReportTitle(), QStringLiteral("orders.grf"));
    EXPECT_EQ(f.report.recordCount(), 3);
    const std::string text = AllText(f.report);
    const auto a = text.find("SO-1|"), b = text.find("SO-2|"), c = text.find("SO-3|");
    ASSERT_NE(a, std::string::npos) << text;
    EXPECT_LT(a, b);
    EXPECT_LT(b, c);
    // Row 2 lacks `amount`: the total counts rows 1 and 3 only.
    EXPECT_NE(text.find("4.00"), std::string::npos) << text;
}

TEST(FillFromRequest, AParameterNamedLikeTheAgentsKeyStaysEmpty) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("v.grf"));
    QFile orders(kOrders), copy(path);
    ASSERT_TRUE(orders.open(QIODevice::ReadOnly) && copy.open(QIODevice::WriteOnly));
    copy.write(orders.readAll().replace(R"("name": "company")", R"("name": "verolux")"));
    copy.close();
    Report r;
    ASSERT_TRUE(r.LoadTemplate(path)) << r.lastError().toStdString();
    FillFromRequest(r, JsonDocument::Parse(Request("2", R"("verolux":"hello",)", "[]")));
    EXPECT_EQ(r.Parameters().byName("verolux")->Value(), ScalarValue::empty());
}

TEST(FillFromRequest, RowLimits) {
    std::string rows = "[";
    for (std::size_t i = 0; i < kMaxRequestRows; ++i)
        rows += i ? ",{}" : "{}";
    Filled full(Request("2", "", rows + "]"));
    EXPECT_EQ(full.report.recordCount(), int(kMaxRequestRows));
    Report r;
    ASSERT_TRUE(r.LoadTemplate(kOrders));
    EXPECT_THROW(FillFromRequest(r, JsonDocument::Parse(Request("2", "", rows + ",{}]"))), JsonError);
    EXPECT_THROW(FillFromRequest(r, JsonDocument::Parse(R"({"repname":"x"})")), JsonError);
}

// Records what the window looked like each time it was shown or changed state.
class ShowRecorder : public QObject {
  public:
    struct Seen {
        QString title;
        Qt::WindowStates state;
        int pages;
    };
    explicit ShowRecorder(frmPreview* w) : m_window(w) { w->installEventFilter(this); }
    std::vector<Seen> shows, stateChanges;

  protected:
    bool eventFilter(QObject*, QEvent* e) override {
        // Only these two: other events also come while the window is being destroyed.
        if (e->type() != QEvent::Show && e->type() != QEvent::WindowStateChange) return false;
        const Seen seen{m_window->windowTitle(), m_window->windowState(),
                        m_window->ReportViewer1->pageCount()};
        (e->type() == QEvent::Show ? shows : stateChanges).push_back(seen);
        return false;
    }

  private:
    frmPreview* m_window;
};

class PreviewWindow : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(m_dir.isValid());
        m_folder = m_dir.path().toStdString();
        std::filesystem::create_directory(m_folder / "report");
        ASSERT_TRUE(
            QFile::copy(kOrders, QString::fromStdString((m_folder / "report" / "orders.grf").string())));
    }
    QTemporaryDir m_dir;
    std::filesystem::path m_folder;
};

TEST_F(PreviewWindow, AppearsOnceReadyMaximisedWithItsPages) {
    auto* w = new frmPreview(m_folder);
    ShowRecorder seen(w);
    w->reportFileData = Request("1", "", R"([{"orderNo":"SO-1"}])");
    w->reportPreview = "1";
    w->Show();
    // One showing, already maximised, captioned and filled: no normal-size or minimised flash.
    ASSERT_EQ(seen.shows.size(), 1u);
    EXPECT_EQ(seen.shows[0].title, QStringLiteral("报表预览-orders.grf"));
    EXPECT_TRUE(seen.shows[0].state & Qt::WindowMaximized);
    EXPECT_GE(seen.shows[0].pages, 1);
    for (const auto& s : seen.stateChanges)
        EXPECT_FALSE(s.state & Qt::WindowMinimized);
    w->close(); // releases itself
}

TEST_F(PreviewWindow, FailureShowsTheBareWindowOnce) {
    QPointer<frmPreview> w = new frmPreview(m_folder);
    ShowRecorder seen(w);
    w->reportFileData = "{ not json";
    w->reportPreview = "1";
    w->Show();
    ASSERT_EQ(seen.shows.size(), 1u);
    EXPECT_EQ(seen.shows[0].title, QStringLiteral("报表预览"));
    EXPECT_EQ(seen.shows[0].pages, 0);
    QFile log(QString::fromStdString((m_folder / "MyLog.txt").string()));
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    EXPECT_TRUE(log.readAll().contains("\r加载失败，原因："));
    w->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(w.isNull());
}

} // namespace

int main(int argc, char** argv) {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
