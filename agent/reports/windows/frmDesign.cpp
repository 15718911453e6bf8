#include "agent/reports/windows/frmDesign.h"

#include "agent/printing/Md5.h"
#include "agent/printing/PostReportFile.h"
#include "agent/printing/TemplateStore.h"
#include "agent/reports/encoder/modBase64.h"
#include "agent/reports/model/TemplateFile.h"
#include "common/Http.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QFutureWatcher>
#include <QLocale>
#include <QPointer>
#include <QPromise>
#include <QResizeEvent>
#include <QThreadPool>
#include <QUrl>

#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace verolux {
namespace {

// The form is designed in twips; 15 twips make a pixel.
constexpr float kTwipsPerPixel = 15.0f;

int Px(float twips) {
    return int(std::lround(twips / kTwipsPerPixel));
}
QRect Twips(float left, float top, float width, float height) {
    return {Px(left), Px(top), Px(width), Px(height)};
}

const QString kCaption = QStringLiteral("报表设计器");
// After the caption while the design differs from what the backend has.
const QString kNotUploadedMark = QStringLiteral(" *（未上传）");
const QString kTitle = QStringLiteral("提示");
const QString kAllFiles = QStringLiteral("All Files (*.*)");
const QString kGrfFiles = QStringLiteral("grf Files(*.grf)");
const QString kSaved = QStringLiteral("保存成功");
const QString kSaveFailed = QStringLiteral("保存失败，请重试");
const QString kDiscardEdits = QStringLiteral("当前报表有未保存的修改，放弃修改并打开新的报表？");
// Added to the question when the new request comes from another page than the one on screen.
const QString kOtherPage = QStringLiteral("新的报表来自另一个页面，保存将改为上传到 %1。");
const QString kNothingLoaded = QStringLiteral("报表没有加载成功，不能保存上传。");
const QString kUploadsTo = QStringLiteral("上传到：%1");
const QString kNoUploadTarget = QStringLiteral("（未指定）");
constexpr std::string_view kLoadFailed = "设计报表加载失败";
// SaveRequested writes here, in the program folder.
constexpr const char* kFixedSaveFile = "my.grf";
// Autosaved copies of designs not uploaded, in the program folder.
constexpr const char* kRecoveryFolder = "recovery";
const QString kRecover =
    QStringLiteral("报表设计器上次没有正常结束。打开自动保存的“%1”（%2）吗？\n选“否”将丢弃它。");

// The text after the last path separator; the whole text when there is none.
std::string FileNamePart(const std::string& path) {
    const auto slash = path.find_last_of("/\\");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The host (and port, when the URL names one) an upload goes to; the URL itself when it has none.
QString UploadHost(const std::string& url) {
    if (url.empty()) return kNoUploadTarget;
    const QUrl parsed(QString::fromStdString(url));
    if (parsed.host().isEmpty()) return QString::fromStdString(url);
    return parsed.port() < 0 ? parsed.host()
                             : parsed.host() + QLatin1Char(':') + QString::number(parsed.port());
}

} // namespace

frmDesign::frmDesign(std::filesystem::path programFolder)
    : m_programFolder(std::move(programFolder)), m_log(m_programFolder),
      m_runDialog([](QDialog& dialog) { return dialog.exec(); }),
      m_recovery(QString::fromStdString((m_programFolder / kRecoveryFolder).string())) {
    setWindowTitle(kCaption);
    resize(Px(14145), Px(5565));
    auto button = [this](const char* caption, QRect geometry) {
        auto* b = new QPushButton(QString::fromUtf8(caption), this);
        b->setGeometry(geometry);
        return b;
    };
    cmdOpen = button("打开", Twips(120, 120, 1215, 550));
    cmdSave = button("保存", Twips(1440, 120, 1095, 550));
    cmdSaveAs = button("另存为...", Twips(2640, 120, 1455, 550));
    Command1 = button("退 出", Twips(4200, 120, 1215, 550));
    Label1 = new QLabel(QStringLiteral("报表修改保存，客户重打生效。"), this);
    Label1->setGeometry(Twips(6120, 150, 2655, 375));
    Label1->setStyleSheet(QStringLiteral("color: red; font-weight: bold"));
    labfile = new QLabel(QStringLiteral("文件位置："), this);
    labfile->setGeometry(Twips(9000, 150, 975, 375));
    txtfile = new QLineEdit(this);
    txtfile->setReadOnly(true);
    txtfile->setGeometry(Twips(10200, 120, 3855, 375));
    // Under the row, above the designer: another page's request may change where 保存 uploads.
    labHost = new QLabel(this);
    labHost->setGeometry(Twips(6120, 540, 7935, 300));
    labHost->setStyleSheet(QStringLiteral("color: #555"));
    // Apart from the row, where the designer covers it once the window is laid out: not offered.
    cmdNew = button("新建", Twips(9840, 1200, 1215, 550));
    cmdNew->hide();
    ReportDesigner1 = new reports::ReportDesigner(this);
    ReportDesigner1->setGeometry(Twips(120, 840, 4695, 3375));

    connect(cmdOpen, &QPushButton::clicked, this, &frmDesign::cmdOpen_Click);
    connect(cmdSave, &QPushButton::clicked, this, &frmDesign::cmdSave_Click);
    connect(cmdSaveAs, &QPushButton::clicked, this, &frmDesign::cmdSaveAs_Click);
    connect(cmdNew, &QPushButton::clicked, this, &frmDesign::cmdNew_Click);
    connect(Command1, &QPushButton::clicked, this, &QWidget::close);
    connect(ReportDesigner1, &reports::ReportDesigner::OpenRequested, this,
            &frmDesign::ReportDesigner1_OpenRequested);
    connect(ReportDesigner1, &reports::ReportDesigner::SaveRequested, this,
            &frmDesign::ReportDesigner1_SaveRequested);
    connect(ReportDesigner1, &reports::ReportDesigner::editsPendingChanged, this, &frmDesign::updateTitle);
    updateHost();
    m_autosave.setInterval(kAutosaveMs);
    connect(&m_autosave, &QTimer::timeout, this, &frmDesign::autosave);
    m_autosave.start();
}

// The window goes when the agent ends normally: what was not uploaded then was given up.
frmDesign::~frmDesign() {
    m_recovery.discard();
}

void frmDesign::autosave() {
    if (!m_designLoaded || !notUploaded()) {
        m_recovery.discard();
        return;
    }
    m_recovery.save(reports::WriteTemplate(ReportDesigner1->document().tmpl()),
                    QString::fromStdString(m_shown.reportFileName));
}

void frmDesign::offerRecovery(const QString& path) {
    const std::optional<reports::RecoveryStore::LeftOver> copy = m_recovery.leftOver(path);
    if (!copy) return;
    const QString question =
        kRecover.arg(QFileInfo(path).fileName(), QLocale().toString(copy->saved, QLocale::ShortFormat));
    QPointer<frmDesign> self(this);
    const QMessageBox::StandardButton answer =
        message(QMessageBox::Question, question, QMessageBox::Yes | QMessageBox::No);
    if (!self) return;
    if (answer == QMessageBox::Yes) {
        reports::Report probe;
        if (!probe.LoadTemplate(copy->templatePath) || !m_report->LoadTemplate(copy->templatePath)) return;
        ReportDesigner1->ReloadDesign();
        ReportDesigner1->SetSetting(reports::ReportDesigner::kSettingEditsPending, true);
    }
    m_recovery.remove(*copy);
    autosave(); // now this window's copy
}

void frmDesign::Show() {
    // A request that arrives while the question is open is the one its answer takes up.
    // Another page's request arriving meanwhile is asked about anew.
    if (m_asking) return;
    if (m_loaded && notUploaded()) {
        QPointer<frmDesign> self(this);
        m_asking = true;
        QMessageBox::StandardButton answer = QMessageBox::NoButton;
        std::string asked;
        autosave(); // before the question and what follows it
        do {
            asked = requester;
            answer = message(QMessageBox::Question, discardQuestion(), QMessageBox::Yes | QMessageBox::No);
            if (!self) return;
        } while (answer == QMessageBox::Yes && requester != asked);
        m_asking = false;
        if (answer != QMessageBox::Yes) {
            // The edits stay, and so does the request they belong to.
            reportFileName = m_shown.reportFileName;
            reportId = m_shown.reportId;
            reportAdd = m_shown.reportAdd;
            reportDownurl = m_shown.reportDownurl;
            requester = m_shown.requester;
            updateHost();
            raise();
            activateWindow();
            return;
        }
    }
    m_loaded = true;
    Form_Load();
    show();
    raise();
    activateWindow();
}

void frmDesign::Form_Load() {
    ++m_loads;
    // Nothing of an earlier request stays: the members and the design always belong together.
    m_shown = {reportFileName, reportId, reportAdd, reportDownurl, requester};
    m_dialogFileName.clear();
    m_designLoaded = false;
    m_savedNotUploaded = false;
    txtfile->clear();
    updateHost();
    m_report = std::make_unique<reports::Report>();
    try {
        ReportDesigner1->BindReport(m_report.get());
        m_dialogFolder = QString::fromStdString(TemplateFolder(m_programFolder).string());
        const QString path = QString::fromStdString(reportFileName);
        if (!m_report->LoadTemplate(path)) throw std::runtime_error(m_report->lastError().toStdString());
        txtfile->setText(path);
        m_dialogFileName = path;
        m_designLoaded = true;
        ReportDesigner1->ReloadDesign();
        if (windowFlags() & Qt::WindowStaysOnTopHint) setWindowFlag(Qt::WindowStaysOnTopHint, false);
        offerRecovery(path);
    } catch (const std::exception&) {
        // Shown as far as it got: an empty design that 保存 will not send.
        ReportDesigner1->ReloadDesign();
        try {
            m_log.WriteLog(FileNamePart(reportFileName) + "   " + reportDownurl + "\r" +
                           std::string(kLoadFailed));
        } catch (const std::exception&) {
        }
    }
    updateTitle();
}

bool frmDesign::notUploaded() const {
    return m_savedNotUploaded || ReportDesigner1->editsPending();
}

void frmDesign::updateTitle() {
    setWindowTitle(notUploaded() ? kCaption + kNotUploadedMark : kCaption);
}

void frmDesign::updateHost() {
    labHost->setText(kUploadsTo.arg(UploadHost(reportAdd)));
    labHost->setToolTip(QString::fromStdString(reportAdd));
}

QString frmDesign::discardQuestion() const {
    if (requester == m_shown.requester) return kDiscardEdits;
    return kDiscardEdits + QLatin1Char('\n') + kOtherPage.arg(UploadHost(reportAdd));
}

void frmDesign::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    // Single-precision twips, as the form was laid out.
    const float innerWidth = float(width()) * kTwipsPerPixel;
    const float fileWidth = innerWidth / 3.9f;
    const float fileLeft = innerWidth - fileWidth - 100;
    txtfile->setGeometry(Px(fileLeft), txtfile->y(), Px(fileWidth), txtfile->height());
    labfile->move(Px(fileLeft - float(labfile->width()) * kTwipsPerPixel), labfile->y());
    labHost->resize(std::max(0, width() - labHost->x() - Px(100)), labHost->height());
    if (isMinimized()) return;
    const int top = ReportDesigner1->y();
    ReportDesigner1->setGeometry(0, top, width(), std::max(0, height() - top));
}

std::optional<QString> frmDesign::chooseFile(QFileDialog::AcceptMode mode) {
    auto* dialog = new QFileDialog(this);
    dialog->setAcceptMode(mode);
    if (mode == QFileDialog::AcceptOpen) {
        dialog->setFileMode(QFileDialog::ExistingFile);
    } else {
        dialog->setFileMode(QFileDialog::AnyFile);
        dialog->setDefaultSuffix(QStringLiteral("grf"));
    }
    dialog->setNameFilters({kAllFiles, kGrfFiles});
    dialog->selectNameFilter(kGrfFiles);
    dialog->setDirectory(m_dialogFolder);
    if (!m_dialogFileName.isEmpty()) dialog->selectFile(m_dialogFileName);

    QPointer<frmDesign> self(this);
    QPointer<QFileDialog> guard(dialog);
    const int result = m_runDialog(*dialog);
    if (!self || !guard) return std::nullopt;
    const QStringList files = dialog->selectedFiles();
    delete dialog;
    if (result != QDialog::Accepted || files.isEmpty() || files.first().isEmpty()) return std::nullopt;
    m_dialogFileName = files.first();
    return m_dialogFileName;
}

QMessageBox::StandardButton frmDesign::message(QMessageBox::Icon icon, const QString& text,
                                               QMessageBox::StandardButtons buttons) {
    auto* box = new QMessageBox(icon, kTitle, text, buttons, this);
    if (buttons & QMessageBox::No) box->setDefaultButton(QMessageBox::No);
    QPointer<frmDesign> self(this);
    QPointer<QMessageBox> guard(box);
    const int result = m_runDialog(*box);
    if (!self || !guard) return QMessageBox::NoButton;
    delete box;
    return QMessageBox::StandardButton(result);
}

bool frmDesign::openInDesigner(const QString& path) {
    if (!m_report->LoadTemplate(path)) return false;
    ReportDesigner1->ReloadDesign();
    m_designLoaded = true;
    m_savedNotUploaded = false;
    updateTitle();
    return true;
}

void frmDesign::cmdOpen_Click() {
    const auto file = chooseFile(QFileDialog::AcceptOpen);
    if (!file || !openInDesigner(*file)) return;
    reportFileName = file->toStdString();
    m_shown.reportFileName = reportFileName;
    txtfile->setText(*file);
}

std::optional<std::string> frmDesign::saveForUpload() {
    // The design on screen goes into the template file, and that file is what the backend gets.
    if (!ReportDesigner1->CommitDesign() || !m_report->SaveTemplate(QString::fromStdString(reportFileName)))
        return std::nullopt;
    const std::filesystem::path file(reportFileName);
    const std::string base64 = modBase64::EncodeFile(file);
    const auto digest = mMD5::FileMD5(file);
    if (!digest) return std::nullopt;
    return TemplateUploadBody(base64, reportId, mMD5::MD5Hex(*digest));
}

void frmDesign::cmdSave_Click() {
    if (m_dialogFileName.isEmpty() || m_uploading) return;
    // A template that did not load leaves an empty design: it must not replace the backend's.
    if (!m_designLoaded) {
        message(QMessageBox::NoIcon, kNothingLoaded, QMessageBox::Ok);
        return;
    }
    std::optional<std::string> body;
    try {
        body = saveForUpload();
    } catch (const std::exception&) {
    }
    if (!body) {
        message(QMessageBox::NoIcon, kSaveFailed, QMessageBox::Ok);
        return;
    }
    autosave(); // should the upload go wrong
    startUpload(reportAdd, std::move(*body));
}

void frmDesign::startUpload(std::string url, std::string body) {
    // The worker owns copies of everything it uses; the watcher goes with the window, so a window
    // closed meanwhile never hears the answer, while the post it asked for still goes out. The agent
    // waits for the pool's threads when it ends: the post is aborted then, also when its window went,
    // so that the end takes about a second instead of the post's time-outs.
    auto* ending = new QObject; // lives as long as the post, whatever becomes of the window
    connect(qApp, &QCoreApplication::aboutToQuit, ending, [abort = m_abortUpload] { *abort = true; });
    auto promise = std::make_shared<QPromise<bool>>();
    auto* watcher = new QFutureWatcher<bool>(this);
    connect(watcher, &QFutureWatcherBase::finished, this, [this, watcher, loads = m_loads] {
        const bool saved = watcher->future().resultCount() > 0 && watcher->result();
        watcher->deleteLater();
        uploadDone(saved, loads);
    });
    watcher->setFuture(promise->future());
    promise->start();
    setUploading(true);
    QThreadPool::globalInstance()->start(
        [promise, ending, abort = m_abortUpload, url = std::move(url), body = std::move(body)] {
            bool saved = false;
            try {
                TransferPace pace;
                pace.abort = abort.get();
                saved = PostJson(url, body, kMaxAnswerBytes, pace).find("success") != std::string::npos;
            } catch (const std::exception&) {
            }
            promise->addResult(saved);
            promise->finish();
            ending->deleteLater();
        });
}

void frmDesign::setUploading(bool uploading) {
    m_uploading = uploading;
    for (QWidget* w :
         {static_cast<QWidget*>(cmdOpen), static_cast<QWidget*>(cmdSave), static_cast<QWidget*>(cmdSaveAs),
          static_cast<QWidget*>(Command1), static_cast<QWidget*>(ReportDesigner1)})
        w->setEnabled(!uploading);
}

void frmDesign::uploadDone(bool saved, int loads) {
    setUploading(false);
    // Aborted because the agent ends: no box to answer.
    if (*m_abortUpload) return;
    if (!saved) {
        message(QMessageBox::NoIcon, kSaveFailed, QMessageBox::Ok);
        return;
    }
    // A request that came meanwhile and put its own template on screen: that design is not the one sent.
    if (loads == m_loads) {
        m_savedNotUploaded = false;
        ReportDesigner1->SetSetting(reports::ReportDesigner::kSettingEditsPending, false);
        m_recovery.discard();
        updateTitle();
    }
    QPointer<frmDesign> self(this);
    message(QMessageBox::NoIcon, kSaved, QMessageBox::Ok);
    // A request that came while the box was open has put its own template on screen: that one stays.
    if (self && loads == m_loads) close();
}

void frmDesign::cmdSaveAs_Click() {
    // Only a copy: the template file and the path shown stay.
    const auto file = chooseFile(QFileDialog::AcceptSave);
    if (file && ReportDesigner1->CommitDesign()) m_report->SaveTemplate(*file);
}

void frmDesign::cmdNew_Click() {
    m_report->ClearTemplate();
    ReportDesigner1->ReloadDesign();
}

void frmDesign::ReportDesigner1_OpenRequested() {
    const QVariant pending = ReportDesigner1->Setting(reports::ReportDesigner::kSettingEditsPending);
    ReportDesigner1->SetSetting(reports::ReportDesigner::kSettingEditsPending, false);
    QPointer<frmDesign> self(this);
    const auto file = chooseFile(QFileDialog::AcceptOpen);
    if (!self) return;
    // Nothing opened: the edits on screen are as unsaved as before.
    if (!file || !openInDesigner(*file))
        ReportDesigner1->SetSetting(reports::ReportDesigner::kSettingEditsPending, pending);
}

void frmDesign::ReportDesigner1_SaveRequested() {
    const QString path = QString::fromStdString((m_programFolder / kFixedSaveFile).string());
    if (!ReportDesigner1->CommitDesign() || !m_report->SaveTemplate(path)) return;
    // Only a local file: the edits are still to be uploaded, and a new request still asks first.
    m_savedNotUploaded = notUploaded();
    ReportDesigner1->SetSetting(reports::ReportDesigner::kSettingEditsPending, false);
    updateTitle();
}

} // namespace verolux
