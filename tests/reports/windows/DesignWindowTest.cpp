// The designer window against the demo backend (in this process) and a canned HTTP server, offscreen;
// its file dialogs and message boxes are answered by the test.
#include "agent/reports/designer/DesignCanvas.h"
#include "agent/reports/model/TemplateFile.h"
#include "agent/reports/windows/frmDesign.h"
#include "common/Http.h"
#include "demo/backend/DemoServer.h"
#include "tests/common/CannedServer.h"

#include <httplib.h>

#include <QCryptographicHash>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QThreadPool>
#include <QTimer>

#include <gtest/gtest.h>

#include <atomic>
#include <deque>
#include <thread>

using namespace verolux;
namespace fs = std::filesystem;

namespace {

const QString kSamples = QStringLiteral(VEROLUX_SOURCE_DIR "/demo/templates/");
const reports::design::ItemRef kTitle{{reports::design::BandSlot::PageHeader, -1}, 0};
const QString kCaption = QStringLiteral("报表设计器");
const QString kNotUploaded = QStringLiteral("报表设计器 *（未上传）");
const QString kDiscard = QStringLiteral("当前报表有未保存的修改，放弃修改并打开新的报表？");
const QString kSaved = QStringLiteral("保存成功");

QByteArray ReadFile(const fs::path& path) {
    QFile f(QString::fromStdString(path.string()));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}
std::string Md5(const QByteArray& bytes) {
    return QCryptographicHash::hash(bytes, QCryptographicHash::Md5).toHex().toUpper().toStdString();
}

class DesignWindow : public testing::Test {
  protected:
    void SetUp() override {
        root = fs::path(m_dir.path().toStdString());
        fs::create_directories(root / "prog" / "report");
        fs::create_directories(root / "templates");
        for (const char* name : {"orders.grf", "invoice.grf"}) {
            fs::copy_file((kSamples + QLatin1String(name)).toStdString(), templateFolder() / name);
            fs::copy_file((kSamples + QLatin1String(name)).toStdString(), root / "templates" / name);
        }
        demo::BackendOptions options;
        options.port = 0;
        options.templatesDir = (root / "templates").string();
        options.uploadsDir = (root / "uploads").string();
        options.releasesDir = options.webDir = root.string();
        m_backend = std::make_unique<demo::DemoServer>(options);
        std::string error;
        ASSERT_TRUE(m_backend->bind(error)) << error;
        m_serving = std::thread([this] {
            m_backend->run();
            m_stopped = true;
        });
    }
    void TearDown() override {
        delete window.data();
        // stop() only ends a server that is already listening: repeat until it has.
        while (!m_stopped) {
            m_backend->stop();
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        m_serving.join();
        EXPECT_TRUE(answers.empty()) << answers.size() << " dialogs expected but not shown";
    }

    fs::path templateFolder() const { return root / "prog" / "report"; }
    std::string backend(const std::string& path) const { return m_backend->baseUrl() + path; }
    fs::path orders() const { return templateFolder() / "orders.grf"; }

    // A designer request as the opener hands it over.
    void request(const fs::path& file, const std::string& add, const std::string& id = "SO-1",
                 const std::string& downurl = "http://x/orders.grf", const std::string& requester = "") {
        if (!window) {
            window = new frmDesign(root / "prog");
            window->setAttribute(Qt::WA_DeleteOnClose);
            window->setDialogRunner([this](QDialog& d) { return answer(d); });
        }
        window->reportFileName = file.string();
        window->reportId = id;
        window->reportAdd = add;
        window->reportDownurl = downurl;
        window->requester = requester;
        window->Show();
    }

    int answer(QDialog& dialog) {
        if (auto* box = qobject_cast<QMessageBox*>(&dialog)) {
            EXPECT_EQ(box->windowTitle(), QStringLiteral("提示"));
            boxes.push_back(box->text());
        }
        if (answers.empty()) {
            ADD_FAILURE() << "unexpected dialog";
            return QDialog::Rejected;
        }
        auto next = std::move(answers.front());
        answers.pop_front();
        return next(dialog);
    }
    void expectBox(int button = QMessageBox::Ok) {
        answers.push_back([button](QDialog&) { return button; });
    }
    // A file dialog of the given mode, answered with `path`.
    void expectFile(QFileDialog::AcceptMode mode, const fs::path& path) {
        answers.push_back([mode, path](QDialog& d) {
            EXPECT_EQ(static_cast<QFileDialog&>(d).acceptMode(), mode);
            static_cast<QFileDialog&>(d).selectFile(QString::fromStdString(path.string()));
            return int(QDialog::Accepted);
        });
    }

    // Presses 保存 and waits for the box that ends it (the upload runs off the UI thread).
    void save() {
        const std::size_t shown = boxes.size();
        window->cmdSave->click();
        ASSERT_TRUE(QTest::qWaitFor([&] { return boxes.size() > shown; }, 60000)) << "no box after 保存";
    }

    // An edit through the control: the title's text, typed in place.
    void editTitle(const QString& text) {
        auto* canvas = window->ReportDesigner1->canvas();
        canvas->editText(kTitle);
        ASSERT_NE(canvas->textEditor(), nullptr);
        canvas->textEditor()->setPlainText(text);
        QTest::keyClick(canvas->textEditor(), Qt::Key_Return);
        ASSERT_TRUE(window->ReportDesigner1->editsPending());
    }
    std::string shownTitle() const {
        const auto* item = reports::design::FindItem(window->ReportDesigner1->document().tmpl(), kTitle);
        return item ? item->text : std::string();
    }

    QTemporaryDir m_dir;
    fs::path root;
    QPointer<frmDesign> window;
    std::deque<std::function<int(QDialog&)>> answers;
    std::vector<QString> boxes;

  private:
    std::unique_ptr<demo::DemoServer> m_backend;
    std::thread m_serving;
    std::atomic<bool> m_stopped{false};
};

TEST_F(DesignWindow, ResizeRule) {
    request(orders(), "");
    EXPECT_EQ(window->size(), QSize(943, 371)); // 14145 x 5565 twips
    // txtfile width = inner width / 3.9, 100 twips from the right; labfile just left of it; the
    // designer below its top across the whole width. Pixels at 15 twips each.
    struct Size {
        int w, h;
        QRect txtfile, labfile, designer;
    };
    for (const Size& s : {Size{943, 371, {695, 8, 242, 25}, {630, 10, 65, 25}, {0, 56, 943, 315}},
                          Size{1500, 900, {1109, 8, 385, 25}, {1044, 10, 65, 25}, {0, 56, 1500, 844}}}) {
        window->resize(s.w, s.h);
        QApplication::processEvents();
        EXPECT_EQ(window->txtfile->geometry(), s.txtfile) << s.w;
        EXPECT_EQ(window->labfile->geometry(), s.labfile) << s.w;
        EXPECT_EQ(window->ReportDesigner1->geometry(), s.designer) << s.w;
    }
}

// How the id is escaped in the body is the upload body's own table.
TEST_F(DesignWindow, UploadsTheDesignOnScreenWithTheExactBodyAndHeader) {
    // Only the lower-case word counts.
    testsupport::CannedServer server({testsupport::HttpReply("200 OK", R"({"msg":"Success"})"),
                                      testsupport::HttpReply("200 OK", "saved: successful")});
    request(orders(), server.url("/api/report/upload"), "SO-2026-0042");
    const QString edit = QStringLiteral("改版 {$title}");
    editTitle(edit);
    expectBox();
    expectBox();
    save();
    ASSERT_TRUE(window && window->isVisible());
    save();
    EXPECT_EQ(boxes, (std::vector<QString>{QStringLiteral("保存失败，请重试"), QStringLiteral("保存成功")}));
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(window.isNull()) << "a successful save closes the window";

    const QByteArray file = ReadFile(orders());
    EXPECT_TRUE(file.contains(edit.toUtf8())) << "the edit is in the template file";
    const std::string raw = server.requests().at(1);
    EXPECT_TRUE(raw.starts_with("POST /api/report/upload HTTP/1.1\r\n"));
    EXPECT_NE(raw.find("\r\nContent-Type: application/json; charset=UTF-8\r\n"), std::string::npos);
    EXPECT_EQ(raw.substr(raw.find("\r\n\r\n") + 4), R"({ "st1":")" + file.toBase64().toStdString() +
                                                        R"(","st0":"SO-2026-0042","st2":")" + Md5(file) +
                                                        R"("})");
}

TEST_F(DesignWindow, DemoBackendDown500AndServingTheNewVersion) {
    request(orders(), "http://127.0.0.1:9/upload/template/orders.grf", "any-id");
    editTitle(QStringLiteral("LOOP-EDIT"));
    PostJson(backend("/api/fail?mode=500&path=/upload"), "{}"); // an HTML error page
    for (int i = 0; i < 2; ++i) {
        expectBox();
        save();
        window->reportAdd = backend("/upload/template/orders.grf");
    }
    EXPECT_EQ(boxes, std::vector<QString>(2, QStringLiteral("保存失败，请重试")));
    ASSERT_TRUE(window && window->isVisible());

    expectBox();
    save();
    EXPECT_EQ(boxes.back(), QStringLiteral("保存成功"));
    const QByteArray saved = ReadFile(orders());
    ASSERT_TRUE(saved.contains("LOOP-EDIT"));
    // The backend serves the new version (what it accepts and refuses is the backend's own test).
    httplib::Client http(backend(""));
    EXPECT_EQ(http.Get("/templates/orders.grf")->body, saved.toStdString());
}

TEST_F(DesignWindow, LoadFailureLineAndNothingToSave) {
    for (const std::string downurl : {"http://x/t/missing.grf", ""}) {
        request(templateFolder() / "missing.grf", "http://127.0.0.1:9/", "SO-1", downurl);
        EXPECT_TRUE(window->isVisible());
        EXPECT_TRUE(window->txtfile->text().isEmpty());
        window->cmdSave->click(); // the dialog's file name is empty: nothing happens
        const QByteArray log = ReadFile(root / "prog" / "MyLog.txt");
        EXPECT_TRUE(
            log.endsWith(QByteArray::fromStdString(" missing.grf   " + downurl + "\r设计报表加载失败\r\n")))
            << log.toStdString();
        window->close();
        QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
}

TEST_F(DesignWindow, FileDialogsSaveAsAndOpen) {
    request(orders(), "");
    editTitle(QStringLiteral("KEEP"));
    answers.push_back([&](QDialog& d) {
        auto& fd = static_cast<QFileDialog&>(d);
        EXPECT_EQ(fd.nameFilters(),
                  (QStringList{QStringLiteral("All Files (*.*)"), QStringLiteral("grf Files(*.grf)")}));
        EXPECT_EQ(fd.selectedNameFilter(), QStringLiteral("grf Files(*.grf)"));
        EXPECT_EQ(fd.directory().absolutePath().toStdString(), templateFolder().string());
        return int(QDialog::Rejected);
    });
    window->cmdOpen->click(); // cancelled: nothing changes, nothing is said
    EXPECT_EQ(shownTitle(), "KEEP");
    EXPECT_TRUE(window->ReportDesigner1->editsPending());

    // Save As writes a copy; the request's own file stays the one a save uploads.
    const fs::path copy = root / "copy.grf";
    expectFile(QFileDialog::AcceptSave, copy);
    window->cmdSaveAs->click();
    EXPECT_TRUE(ReadFile(copy).contains("KEEP"));
    EXPECT_EQ(window->reportFileName, orders().string());
    EXPECT_EQ(window->txtfile->text().toStdString(), orders().string());

    expectFile(QFileDialog::AcceptOpen, templateFolder() / "invoice.grf");
    window->cmdOpen->click();
    EXPECT_EQ(window->reportFileName, (templateFolder() / "invoice.grf").string());
    EXPECT_EQ(window->txtfile->text().toStdString(), window->reportFileName);
    EXPECT_EQ(window->report()->reportTemplate().title, "销售发票");
}

// What an agent that crashed left of a design not uploaded is offered when that template is designed
// again, and only then; a normal end leaves nothing to offer.
TEST_F(DesignWindow, EditsLeftByACrashAreOfferedForTheirTemplate) {
    const QString folder = QString::fromStdString((root / "prog" / "recovery").string());
    request(orders(), "http://a/");
    editTitle(QStringLiteral("EDIT"));
    window->autosave();
    const std::string edited = reports::WriteTemplate(window->ReportDesigner1->document().tmpl());
    delete window.data();
    EXPECT_FALSE(reports::RecoveryStore(folder).leftOver());
    {
        reports::RecoveryStore crashed(folder); // its lock goes, its copy stays: as after a crash
        ASSERT_TRUE(crashed.save(edited, QString::fromStdString(orders().string())));
    }

    request(templateFolder() / "invoice.grf", "http://a/");
    EXPECT_TRUE(boxes.empty());
    expectBox(QMessageBox::Yes);
    request(orders(), "http://a/");
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_TRUE(
        boxes.back().startsWith(QStringLiteral("报表设计器上次没有正常结束。打开自动保存的“orders.grf”")));
    EXPECT_EQ(shownTitle(), "EDIT");
    EXPECT_EQ(window->windowTitle(), kNotUploaded);
    EXPECT_FALSE(reports::RecoveryStore(folder).leftOver()); // taken over by this window
}

TEST_F(DesignWindow, SecondRequestAsksOverEditsAndTheHostLabelShowsWhereSaveGoes) {
    const fs::path invoice = templateFolder() / "invoice.grf";
    request(invoice, backend("/upload/template/invoice.grf"), "A", "", "1/1");
    const std::string port = backend("").substr(backend("").rfind(':') + 1);
    EXPECT_EQ(window->labHost->text().toStdString(), "上传到：127.0.0.1:" + port);
    // No edits: another page's template replaces it, and the label follows.
    request(orders(), "http://other.example:8080/up", "B", "", "2/1");
    EXPECT_EQ(window->labHost->text(), QStringLiteral("上传到：other.example:8080"));
    EXPECT_EQ(window->labHost->toolTip(), QStringLiteral("http://other.example:8080/up"));
    EXPECT_EQ(window->txtfile->text().toStdString(), orders().string());
    EXPECT_EQ(window->report()->reportTemplate().title, "订单明细表");

    editTitle(QStringLiteral("EDIT"));
    expectBox(QMessageBox::No);
    request(invoice, "http://third.example/up", "C", "", "3/1");
    EXPECT_EQ(boxes.back(),
              kDiscard + QStringLiteral("\n新的报表来自另一个页面，保存将改为上传到 third.example。"));
    EXPECT_EQ(shownTitle(), "EDIT");
    EXPECT_EQ(window->reportFileName, orders().string());
    EXPECT_EQ(window->reportAdd, "http://other.example:8080/up");
    EXPECT_EQ(window->requester, "2/1");
    EXPECT_EQ(window->labHost->text(), QStringLiteral("上传到：other.example:8080"));

    // The same page asks again; while its question is open another page's request comes: a yes to the
    // first question does not take it up unasked.
    const std::size_t before = boxes.size();
    answers.push_back([&](QDialog&) {
        request(orders(), "http://fourth.example/up", "D", "", "4/1");
        return int(QMessageBox::Yes);
    });
    expectBox(QMessageBox::No);
    request(invoice, "http://other.example:8080/up", "B2", "", "2/1");
    ASSERT_EQ(boxes.size(), before + 2);
    EXPECT_EQ(boxes[before], kDiscard);
    EXPECT_TRUE(boxes[before + 1].contains(QStringLiteral("fourth.example")));
    EXPECT_EQ(shownTitle(), "EDIT");
    EXPECT_EQ(window->reportId, "B");
    EXPECT_EQ(window->requester, "2/1");

    // A yes gives up the edits for the new request's template.
    expectBox(QMessageBox::Yes);
    request(invoice, "http://c/", "C", "", "2/1");
    EXPECT_EQ(window->txtfile->text().toStdString(), invoice.string());
    EXPECT_EQ(window->report()->reportTemplate().title, "销售发票");
    EXPECT_NE(shownTitle(), "EDIT");
    EXPECT_EQ(window->reportId, "C");
    EXPECT_EQ(window->reportAdd, "http://c/");
}

TEST_F(DesignWindow, ControlSaveWritesMyGrfButTheEditsStayNotUploaded) {
    request(orders(), backend("/upload/template/orders.grf"));
    EXPECT_EQ(window->windowTitle(), kCaption);
    editTitle(QStringLiteral("FIXED-FILE"));
    EXPECT_EQ(window->windowTitle(), kNotUploaded);
    ASSERT_TRUE(QTest::qWaitForWindowActive(window));
    window->ReportDesigner1->canvas()->setFocus();
    QTest::keyClick(window->ReportDesigner1->canvas(), Qt::Key_S, Qt::ControlModifier);
    EXPECT_TRUE(ReadFile(root / "prog" / "my.grf").contains("FIXED-FILE"));
    EXPECT_FALSE(window->ReportDesigner1->editsPending());
    EXPECT_FALSE(ReadFile(orders()).contains("FIXED-FILE"));
    EXPECT_EQ(window->windowTitle(), kNotUploaded);

    // The next request still asks.
    expectBox(QMessageBox::No);
    request(templateFolder() / "invoice.grf", "http://b/");
    EXPECT_EQ(boxes.back(), kDiscard);
    EXPECT_EQ(shownTitle(), "FIXED-FILE");

    // Once the backend has it, the marker goes.
    answers.push_back([&](QDialog&) {
        EXPECT_EQ(window->windowTitle(), kCaption);
        return int(QMessageBox::Ok);
    });
    save();
    EXPECT_EQ(boxes.back(), kSaved);
    httplib::Client http(backend(""));
    EXPECT_NE(http.Get("/templates/orders.grf")->body.find("FIXED-FILE"), std::string::npos);
}

TEST_F(DesignWindow, FailedLoadThenSaveAsAndSaveUploadsNothing) {
    testsupport::CannedServer server({testsupport::HttpReply("200 OK", "success")});
    const fs::path missing = templateFolder() / "missing.grf";
    request(missing, server.url("/up"));
    expectFile(QFileDialog::AcceptSave, root / "copy.grf");
    window->cmdSaveAs->click();
    expectBox();
    window->cmdSave->click();
    EXPECT_EQ(boxes.back(), QStringLiteral("报表没有加载成功，不能保存上传。"));
    EXPECT_TRUE(window->cmdSave->isEnabled()) << "no upload runs";
    EXPECT_TRUE(server.requests().empty());
    EXPECT_FALSE(fs::exists(missing));
    EXPECT_TRUE(window->isVisible());
}

// The reply trickles in over about a second.
TEST_F(DesignWindow, SlowBackendDoesNotBlockTheWindow) {
    testsupport::CannedServer server({testsupport::HttpReply("200 OK", R"({"code":"success"})")}, 8);
    request(orders(), server.url("/up"));
    editTitle(QStringLiteral("SLOW"));
    int ticksWhileSaving = 0;
    bool allDisabled = true;
    QTimer tick;
    tick.setInterval(20);
    QObject::connect(&tick, &QTimer::timeout, [&] {
        if (!window || window->cmdSave->isEnabled()) return;
        ++ticksWhileSaving;
        allDisabled = allDisabled && !window->cmdOpen->isEnabled() && !window->cmdSaveAs->isEnabled() &&
                      !window->Command1->isEnabled() && !window->ReportDesigner1->isEnabled();
    });
    tick.start();
    expectBox();
    save();
    EXPECT_GT(ticksWhileSaving, 0);
    EXPECT_TRUE(allDisabled);
    EXPECT_EQ(boxes.back(), kSaved);
    EXPECT_EQ(server.requests().size(), 1u);
}

TEST_F(DesignWindow, ClosedWhileUploading) {
    testsupport::CannedServer server({testsupport::HttpReply("200 OK", "success")}, 8);
    request(orders(), server.url("/up"));
    editTitle(QStringLiteral("GONE"));
    window->cmdSave->click();
    ASSERT_FALSE(window->cmdSave->isEnabled());
    window->close();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    ASSERT_TRUE(window.isNull());
    QThreadPool::globalInstance()->waitForDone();
    QApplication::processEvents();
    EXPECT_TRUE(boxes.empty()) << "the answer of a closed window's upload shows nothing";
    EXPECT_EQ(server.requests().size(), 1u) << "the post the user asked for still goes out";
}

// The agent ends while 保存 trickles (far longer than the test runs): the post is aborted, so the
// process's wait for the pool's threads is short, and no box is shown. Ending closes the windows,
// which deletes the designer; a window that stays is covered as well.
TEST_F(DesignWindow, AgentEndsDuringASave) {
    for (const bool deleteOnClose : {true, false}) {
        SCOPED_TRACE(deleteOnClose ? "window deleted" : "window kept");
        testsupport::CannedServer server(
            {"HTTP/1.1 200 OK\r\nContent-Length: 1000000\r\n\r\n" + std::string(200000, 'x') + "success"},
            200);
        request(orders(), server.url("/up"));
        window->setAttribute(Qt::WA_DeleteOnClose, deleteOnClose);
        editTitle(deleteOnClose ? QStringLiteral("EXIT") : QStringLiteral("EXIT KEPT"));
        window->cmdSave->click();
        ASSERT_TRUE(QTest::qWaitFor([&] { return !server.requests().empty(); }, 10000));
        QTimer::singleShot(0, qApp, [] { QCoreApplication::quit(); });
        QApplication::exec();
        EXPECT_TRUE(QThreadPool::globalInstance()->waitForDone(20000)) << "the post was not aborted";
        QApplication::processEvents();
        EXPECT_TRUE(boxes.empty());
        EXPECT_EQ(window.isNull(), deleteOnClose);
        EXPECT_TRUE(!window || window->cmdSave->isEnabled());
    }
}

} // namespace
