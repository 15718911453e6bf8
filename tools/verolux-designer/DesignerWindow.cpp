#include "tools/verolux-designer/DesignerWindow.h"

#include "agent/reports/design/StarterTemplate.h"
#include "agent/reports/designer/DesignCanvas.h"
#include "agent/reports/designer/ReportDesigner.h"
#include "agent/reports/model/TemplateFile.h"

#include <QCloseEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QLocale>
#include <QMenuBar>
#include <QMessageBox>
#include <QScreen>
#include <QSettings>
#include <QStyle>

#include <algorithm>

namespace verolux::reports {

namespace {

const QString kRecentKey = QStringLiteral("recentFiles");
const QString kFilter = QStringLiteral("报表模板 (*.grf);;所有文件 (*)");
const QString kGeometryKey = QStringLiteral("windowGeometry");
// Room kept for a window manager's borders (left + right) and title bar with the lower border.
const QSize kFrame(16, 48);

} // namespace

DesignerWindow::DesignerWindow(QSettings& settings, QWidget* parent, const QString& recoveryFolder)
    : QMainWindow(parent), m_settings(settings), m_recovery(recoveryFolder) {
    m_designer = new ReportDesigner(this);
    setCentralWidget(m_designer);
    m_designer->BindReport(&m_report);

    QMenu* file = menuBar()->addMenu(QStringLiteral("文件(&F)"));
    file->addAction(QStringLiteral("新建(&N)"), QKeySequence::New, this, [this] {
        if (maybeSave()) newTemplate();
    });
    file->addAction(QStringLiteral("打开(&O)…"), this, &DesignerWindow::openWithDialog);
    m_recent = file->addMenu(QStringLiteral("最近打开的文件(&R)"));
    file->addSeparator();
    file->addAction(QStringLiteral("保存(&S)"), this, &DesignerWindow::save);
    file->addAction(QStringLiteral("另存为(&A)…"), QKeySequence::SaveAs, this, &DesignerWindow::saveAs);
    file->addSeparator();
    file->addAction(QStringLiteral("退出(&X)"), QKeySequence::Quit, this, &QWidget::close);
    // Ctrl+O and Ctrl+S belong to the designer (its own open and save commands): they come here.
    connect(m_designer, &ReportDesigner::OpenRequested, this, &DesignerWindow::openWithDialog);
    connect(m_designer, &ReportDesigner::SaveRequested, this, &DesignerWindow::save);
    connect(m_designer, &ReportDesigner::editsPendingChanged, this, &DesignerWindow::updateTitle);

    rebuildRecentMenu();
    placeOnScreen();
    newTemplate();
    m_autosave.setInterval(kAutosaveMs);
    connect(&m_autosave, &QTimer::timeout, this, &DesignerWindow::autosave);
    m_autosave.start();
}

void DesignerWindow::placeOnScreen() {
    // Where the user left it (Qt keeps a restored window on the screen), else most of the screen and
    // never beyond its free area, the title bar and borders a window manager adds included.
    if (restoreGeometry(m_settings.value(kGeometryKey).toByteArray())) return;
    const QRect free = screen()->availableGeometry();
    const QSize size = QSize(1440, 900).boundedTo(free.size() - kFrame);
    resize(size);
    // move() places the frame: centred in what is left around the window.
    move(free.left() + std::max(0, (free.width() - size.width() - kFrame.width()) / 2),
         free.top() + std::max(0, (free.height() - size.height() - kFrame.height()) / 2));
}

void DesignerWindow::autosave() {
    if (!m_designer->editsPending()) {
        m_recovery.discard();
        return;
    }
    if (m_autosaved == m_designer->document().generation() && m_recovery.hasCopy()) return;
    if (m_recovery.save(WriteTemplate(m_designer->document().tmpl()), m_path))
        m_autosaved = m_designer->document().generation();
}

bool DesignerWindow::offerRecovery() {
    const std::optional<RecoveryStore::LeftOver> copy = m_recovery.leftOver();
    if (!copy) return false;
    const QString name =
        copy->originalPath.isEmpty() ? QStringLiteral("新报表") : QFileInfo(copy->originalPath).fileName();
    const auto answer = QMessageBox::question(
        this, QStringLiteral("恢复报表"),
        QStringLiteral("报表设计器上次没有正常结束。打开自动保存的“%1”（%2）吗？\n选“否”将丢弃它。")
            .arg(name, QLocale().toString(copy->saved, QLocale::ShortFormat)),
        QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes);
    if (answer != QMessageBox::Yes) {
        m_recovery.remove(*copy);
        return false;
    }
    Report probe;
    if (!probe.LoadTemplate(copy->templatePath)) {
        QMessageBox::warning(this, QStringLiteral("恢复报表"),
                             QStringLiteral("无法打开：") + probe.lastError());
        return false;
    }
    m_report.LoadTemplate(copy->templatePath);
    m_designer->ReloadDesign();
    m_path = copy->originalPath;
    m_designer->setEditsPending(true); // not saved where it came from yet
    m_recovery.remove(*copy);
    autosave(); // now this designer's copy
    updateTitle();
    return true;
}

DesignerWindow::~DesignerWindow() = default;

void DesignerWindow::newTemplate() {
    m_recovery.discard(); // the caller asked about the edits there were
    m_report.setTemplate(design::StarterTemplate());
    m_designer->ReloadDesign();
    m_path.clear();
    updateTitle();
}

bool DesignerWindow::openFile(const QString& path, QString* error) {
    // Read it aside first: a file that does not load leaves the design on screen alone.
    Report probe;
    if (!probe.LoadTemplate(path)) {
        if (error) *error = probe.lastError();
        return false;
    }
    m_report.LoadTemplate(path);
    m_designer->ReloadDesign();
    m_recovery.discard();
    m_path = QFileInfo(path).absoluteFilePath();
    remember(m_path);
    updateTitle();
    m_designer->canvas()->setFocus();
    return true;
}

bool DesignerWindow::saveTo(const QString& path, QString* error) {
    autosave(); // should writing the file go wrong
    m_designer->CommitDesign();
    if (!m_report.SaveTemplate(path)) {
        if (error) *error = m_report.lastError();
        return false;
    }
    m_designer->SetSetting(ReportDesigner::kSettingEditsPending, false);
    m_recovery.discard();
    m_path = QFileInfo(path).absoluteFilePath();
    remember(m_path);
    updateTitle();
    return true;
}

bool DesignerWindow::loadPreviewData(const QString& path, QString* error) {
    return m_designer->loadPreviewData(path, error);
}

void DesignerWindow::openWithDialog() {
    if (!maybeSave()) return;
    const QString start = m_path.isEmpty() ? QString() : QFileInfo(m_path).absolutePath();
    const QString path = QFileDialog::getOpenFileName(this, QStringLiteral("打开报表模板"), start, kFilter);
    if (path.isEmpty()) return;
    QString error;
    if (!openFile(path, &error))
        QMessageBox::warning(this, QStringLiteral("打开"), QStringLiteral("无法打开：") + error);
}

bool DesignerWindow::save() {
    if (m_path.isEmpty()) return saveAs();
    QString error;
    if (saveTo(m_path, &error)) return true;
    QMessageBox::warning(this, QStringLiteral("保存"), QStringLiteral("无法保存：") + error);
    return false;
}

bool DesignerWindow::saveAs() {
    QString path = QFileDialog::getSaveFileName(this, QStringLiteral("另存为"), m_path, kFilter);
    if (path.isEmpty()) return false;
    if (QFileInfo(path).suffix().isEmpty()) path += QStringLiteral(".grf");
    QString error;
    if (saveTo(path, &error)) return true;
    QMessageBox::warning(this, QStringLiteral("另存为"), QStringLiteral("无法保存：") + error);
    return false;
}

bool DesignerWindow::maybeSave() {
    if (!m_designer->editsPending()) return true;
    autosave(); // before the question and what follows it
    const QString name = m_path.isEmpty() ? QStringLiteral("新报表") : QFileInfo(m_path).fileName();
    const auto answer = QMessageBox::question(
        this, QStringLiteral("报表设计器"), QStringLiteral("“%1”有未保存的修改。保存吗？").arg(name),
        QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, QMessageBox::Save);
    if (answer == QMessageBox::Save) return save();
    return answer == QMessageBox::Discard;
}

void DesignerWindow::closeEvent(QCloseEvent* event) {
    if (!maybeSave()) {
        event->ignore();
        return;
    }
    m_settings.setValue(kGeometryKey, saveGeometry());
    m_recovery.discard(); // saved or discarded on purpose: nothing to recover
    event->accept();
}

QStringList DesignerWindow::recentFiles() const {
    return m_settings.value(kRecentKey).toStringList();
}

void DesignerWindow::remember(const QString& path) {
    QStringList list = recentFiles();
    list.removeAll(path);
    list.prepend(path);
    while (list.size() > kMaxRecentFiles)
        list.removeLast();
    m_settings.setValue(kRecentKey, list);
    rebuildRecentMenu();
}

void DesignerWindow::rebuildRecentMenu() {
    m_recent->clear();
    const QStringList list = recentFiles();
    for (int i = 0; i < list.size(); ++i) {
        const QString& path = list[i];
        m_recent->addAction(QStringLiteral("&%1 %2").arg(i + 1).arg(path), this, [this, path] {
            if (!maybeSave()) return;
            QString error;
            if (!openFile(path, &error))
                QMessageBox::warning(this, QStringLiteral("打开"), QStringLiteral("无法打开：") + error);
        });
    }
    m_recent->setEnabled(!list.isEmpty());
}

void DesignerWindow::updateTitle() {
    const QString name = m_path.isEmpty() ? QStringLiteral("新报表") : QFileInfo(m_path).fileName();
    setWindowTitle(name + QStringLiteral("[*] - 报表设计器"));
    setWindowModified(m_designer->editsPending());
}

} // namespace verolux::reports
