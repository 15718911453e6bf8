#include "agent/reports/windows/frmDesign.h"

#include "agent/printing/Md5.h"
#include "agent/printing/PostReportFile.h"
#include "agent/printing/TemplateStore.h"
#include "agent/reports/encoder/modBase64.h"
#include "common/Http.h"

#include <QPointer>
#include <QResizeEvent>

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

const QString kTitle = QStringLiteral("提示");
const QString kAllFiles = QStringLiteral("All Files (*.*)");
const QString kGrfFiles = QStringLiteral("grf Files(*.grf)");
const QString kSaved = QStringLiteral("保存成功");
const QString kSaveFailed = QStringLiteral("保存失败，请重试");
const QString kDiscardEdits = QStringLiteral("当前报表有未保存的修改，放弃修改并打开新的报表？");
constexpr std::string_view kLoadFailed = "设计报表加载失败";
// SaveRequested writes here, in the program folder.
constexpr const char* kFixedSaveFile = "my.grf";

// The text after the last path separator; the whole text when there is none.
std::string FileNamePart(const std::string& path) {
    const auto slash = path.find_last_of("/\\");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

} // namespace

frmDesign::frmDesign(std::filesystem::path programFolder)
    : m_programFolder(std::move(programFolder)), m_log(m_programFolder),
      m_runDialog([](QDialog& dialog) { return dialog.exec(); }) {
    setWindowTitle(QStringLiteral("报表设计器"));
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
}

frmDesign::~frmDesign() = default;

void frmDesign::Show() {
    // A request that arrives while the question is open is the one its answer takes up.
    if (m_asking) return;
    if (m_loaded && ReportDesigner1->editsPending()) {
        QPointer<frmDesign> self(this);
        m_asking = true;
        const auto answer = message(QMessageBox::Question, kDiscardEdits, QMessageBox::Yes | QMessageBox::No);
        if (!self) return;
        m_asking = false;
        if (answer != QMessageBox::Yes) {
            // The edits stay, and so does the request they belong to.
            reportFileName = m_shown.reportFileName;
            reportId = m_shown.reportId;
            reportAdd = m_shown.reportAdd;
            reportDownurl = m_shown.reportDownurl;
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
    m_shown = {reportFileName, reportId, reportAdd, reportDownurl};
    m_dialogFileName.clear();
    txtfile->clear();
    m_report = std::make_unique<reports::Report>();
    try {
        ReportDesigner1->BindReport(m_report.get());
        m_dialogFolder = QString::fromStdString(TemplateFolder(m_programFolder).string());
        const QString path = QString::fromStdString(reportFileName);
        if (!m_report->LoadTemplate(path)) throw std::runtime_error(m_report->lastError().toStdString());
        txtfile->setText(path);
        m_dialogFileName = path;
        ReportDesigner1->ReloadDesign();
        if (windowFlags() & Qt::WindowStaysOnTopHint) setWindowFlag(Qt::WindowStaysOnTopHint, false);
    } catch (const std::exception&) {
        // Shown as far as it got: an empty design that 保存 will not send.
        ReportDesigner1->ReloadDesign();
        try {
            m_log.WriteLog(FileNamePart(reportFileName) + "   " + reportDownurl + "\r" +
                           std::string(kLoadFailed));
        } catch (const std::exception&) {
        }
    }
}

void frmDesign::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    // Single-precision twips, as the form was laid out.
    const float innerWidth = float(width()) * kTwipsPerPixel;
    const float fileWidth = innerWidth / 3.9f;
    const float fileLeft = innerWidth - fileWidth - 100;
    txtfile->setGeometry(Px(fileLeft), txtfile->y(), Px(fileWidth), txtfile->height());
    labfile->move(Px(fileLeft - float(labfile->width()) * kTwipsPerPixel), labfile->y());
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
    return true;
}

void frmDesign::cmdOpen_Click() {
    const auto file = chooseFile(QFileDialog::AcceptOpen);
    if (!file || !openInDesigner(*file)) return;
    reportFileName = file->toStdString();
    m_shown.reportFileName = reportFileName;
    txtfile->setText(*file);
}

bool frmDesign::saveAndUpload() {
    // The design on screen goes into the template file, and that file is what the backend gets.
    if (!ReportDesigner1->CommitDesign() || !m_report->SaveTemplate(QString::fromStdString(reportFileName)))
        return false;
    const std::filesystem::path file(reportFileName);
    const std::string base64 = modBase64::EncodeFile(file);
    const auto digest = mMD5::FileMD5(file);
    if (!digest) return false;
    const std::string answer =
        PostJson(reportAdd, TemplateUploadBody(base64, reportId, mMD5::MD5Hex(*digest)));
    return answer.find("success") != std::string::npos;
}

void frmDesign::cmdSave_Click() {
    if (m_dialogFileName.isEmpty()) return;
    bool saved = false;
    try {
        saved = saveAndUpload();
    } catch (const std::exception&) {
    }
    if (!saved) {
        message(QMessageBox::NoIcon, kSaveFailed, QMessageBox::Ok);
        return;
    }
    ReportDesigner1->SetSetting(reports::ReportDesigner::kSettingEditsPending, false);
    QPointer<frmDesign> self(this);
    const int loads = m_loads;
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
    if (ReportDesigner1->CommitDesign() && m_report->SaveTemplate(path))
        ReportDesigner1->SetSetting(reports::ReportDesigner::kSettingEditsPending, false);
}

} // namespace verolux
