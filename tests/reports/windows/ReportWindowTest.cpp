// The report windows' side of a request: how a report is filled from it, and what the user sees of
// a preview while it loads.
#include "agent/reports/engine/Report.h"
#include "agent/reports/engine/RequestFill.h"
#include "agent/reports/layout/PageLayout.h"
#include "agent/reports/windows/frmPdfFile.h"
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

// A program folder holding the order list sample, with `from` replaced by `to` where given.
struct ProgramFolder {
    QTemporaryDir dir;
    std::filesystem::path path{dir.path().toStdString()};
    explicit ProgramFolder(const QByteArray& from = {}, const QByteArray& to = {}) {
        std::filesystem::create_directory(path / "report");
        QFile sample(kOrders), copy(QString::fromStdString((path / "report" / "orders.grf").string()));
        EXPECT_TRUE(sample.open(QIODevice::ReadOnly) && copy.open(QIODevice::WriteOnly));
        const QByteArray bytes = sample.readAll();
        copy.write(from.isEmpty() ? bytes : QByteArray(bytes).replace(from, to));
    }
    QString log() const {
        QFile f(QString::fromStdString((path / "MyLog.txt").string()));
        return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
    }
};

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
    std::string text; // every laid-out text, "|" after each
    for (const Page& p : f.report.layout().pages)
        for (const PageItem& it : p.items)
            text.append(p.textOf(it)).push_back('|');
    const auto a = text.find("SO-1|"), b = text.find("SO-2|"), c = text.find("SO-3|");
    ASSERT_NE(a, std::string::npos) << text;
    EXPECT_LT(a, b);
    EXPECT_LT(b, c);
    // Row 2 lacks `amount`: the total counts rows 1 and 3 only.
    EXPECT_NE(text.find("4.00"), std::string::npos) << text;
}

TEST(FillFromRequest, AParameterNamedLikeTheAgentsKeyStaysEmpty) {
    const ProgramFolder folder(R"("name": "company")", R"("name": "verolux")");
    Report r;
    ASSERT_TRUE(r.LoadTemplate(QString::fromStdString((folder.path / "report" / "orders.grf").string())))
        << r.lastError().toStdString();
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

// What the window looked like each time it was shown, and whether it was ever minimised.
class ShowRecorder : public QObject {
  public:
    struct Seen {
        QString title;
        Qt::WindowStates state;
        int pages;
    };
    explicit ShowRecorder(frmPreview* w) : m_window(w) { w->installEventFilter(this); }
    std::vector<Seen> shows;
    bool minimised = false;

  protected:
    bool eventFilter(QObject*, QEvent* e) override {
        // Only these two: other events also come while the window is being destroyed.
        if (e->type() == QEvent::WindowStateChange)
            minimised = minimised || m_window->windowState() & Qt::WindowMinimized;
        if (e->type() == QEvent::Show)
            shows.push_back(
                {m_window->windowTitle(), m_window->windowState(), m_window->ReportViewer1->pageCount()});
        return false;
    }

  private:
    frmPreview* m_window;
};

// One showing, once ready: maximised, captioned and filled (no normal-size or minimised flash); a
// request that cannot be read shows the bare window, and the log says why. Closing releases it.
TEST(PreviewWindow, AppearsOnceReady) {
    const ProgramFolder folder;
    for (const auto& [data, title] :
         {std::pair{Request("1", "", R"([{"orderNo":"SO-1"}])"), "报表预览-orders.grf"},
          {std::string("{ not json"), "报表预览"}}) {
        const bool ok = data[0] == '{' && data[1] == '"';
        QPointer<frmPreview> w = new frmPreview(folder.path);
        ShowRecorder seen(w);
        w->reportFileData = data;
        w->reportPreview = "1";
        w->Show();
        ASSERT_EQ(seen.shows.size(), 1u) << title;
        EXPECT_EQ(seen.shows[0].title, QString::fromUtf8(title));
        EXPECT_EQ(seen.shows[0].pages > 0, ok) << title;
        EXPECT_TRUE(!ok || seen.shows[0].state & Qt::WindowMaximized);
        EXPECT_FALSE(seen.minimised) << title;
        w->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_TRUE(w.isNull()) << title;
    }
    EXPECT_TRUE(folder.log().contains(QStringLiteral("\r加载失败，原因：")));
}

// A template written before expressions, with a reference that does not read as one, still shows;
// the log says what prints nothing and where.
TEST(PreviewWindow, AnUnreadableExpressionIsLoggedAndTheReportShows) {
    const ProgramFolder folder("\"{quantity}\"", "\"{quantity**2}\"");
    QPointer<frmPreview> w = new frmPreview(folder.path);
    w->reportFileData = Request("1", "", R"([{"orderNo":"SO-1","quantity":3}])");
    w->reportPreview = "1";
    EXPECT_FALSE(w->Show());
    EXPECT_GT(w->ReportViewer1->pageCount(), 0);
    w->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(folder.log().contains(
        QStringLiteral("orders.grf   http://127.0.0.1:9/orders.grf\r模板警告：orders.grf: "
                       "bands.detail.items[4].text: character 11: expected a value "
                       "instead of '*'")));
}

// A value that cannot be computed prints empty; the PDF is still made and the log names the value.
TEST(PdfWindow, AValueThatCannotBeComputedIsLogged) {
    const ProgramFolder folder("\"{price}\"", "\"{price/0}\"");
    frmPdfFile w(folder.path);
    w.reportFileData = Request("2", "", R"([{"orderNo":"SO-1","quantity":3,"price":2}])");
    w.reportPreview = "2";
    const OutputResult out = w.Show();
    ASSERT_TRUE(out.upload.has_value());
    EXPECT_TRUE(std::filesystem::exists(out.upload->file));
    const QString text = folder.log();
    EXPECT_TRUE(text.contains(QStringLiteral("orders.grf   http://127.0.0.1:9/orders.grf\r计算警告：")))
        << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("price/0"))) << text.toStdString();
}

} // namespace

int main(int argc, char** argv) {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
