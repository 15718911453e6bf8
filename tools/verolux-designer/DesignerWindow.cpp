#include "tools/verolux-designer/DesignerWindow.h"

#include "agent/reports/design/StarterTemplate.h"
#include "agent/reports/designer/DesignCanvas.h"
#include "agent/reports/designer/ReportDesigner.h"

#include <QCloseEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QMenuBar>
#include <QMessageBox>
#include <QSettings>

namespace verolux::reports {

namespace {

const QString kRecentKey = QStringLiteral("recentFiles");
const QString kFilter = QStringLiteral("报表模板 (*.grf);;所有文件 (*)");

} // namespace

DesignerWindow::DesignerWindow(QSettings& settings, QWidget* parent)
    : QMainWindow(parent), m_settings(settings) {
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
    resize(1440, 900);
    newTemplate();
}

DesignerWindow::~DesignerWindow() = default;

void DesignerWindow::newTemplate() {
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
    m_path = QFileInfo(path).absoluteFilePath();
    remember(m_path);
    updateTitle();
    m_designer->canvas()->setFocus();
    return true;
}

bool DesignerWindow::saveTo(const QString& path, QString* error) {
    m_designer->CommitDesign();
    if (!m_report.SaveTemplate(path)) {
        if (error) *error = m_report.lastError();
        return false;
    }
    m_designer->SetSetting(ReportDesigner::kSettingEditsPending, false);
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
    const QString name = m_path.isEmpty() ? QStringLiteral("新报表") : QFileInfo(m_path).fileName();
    const auto answer = QMessageBox::question(
        this, QStringLiteral("报表设计器"), QStringLiteral("“%1”有未保存的修改。保存吗？").arg(name),
        QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, QMessageBox::Save);
    if (answer == QMessageBox::Save) return save();
    return answer == QMessageBox::Discard;
}

void DesignerWindow::closeEvent(QCloseEvent* event) {
    if (maybeSave())
        event->accept();
    else
        event->ignore();
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
