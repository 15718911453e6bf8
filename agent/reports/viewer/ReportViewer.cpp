#include "agent/reports/viewer/ReportViewer.h"

#include "agent/reports/viewer/PageView.h"
#include "agent/reports/viewer/ViewerIcons.h"
#include "agent/reports/viewer/ViewerReportAccess.h"

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrinter>
#include <QStandardPaths>
#include <QToolBar>
#include <QVBoxLayout>
#include <QWheelEvent>

#include <cmath>

namespace verolux::reports {

namespace {

// Hides widgets and hides them again whenever their owner shows them.
class KeepHidden : public QObject {
  public:
    void watch(QWidget* w) {
        w->hide();
        w->installEventFilter(this);
    }
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Show)
            QMetaObject::invokeMethod(static_cast<QWidget*>(watched), &QWidget::hide, Qt::QueuedConnection);
        return QObject::eventFilter(watched, event);
    }
};

// The zoom as the box shows it: whole percents.
QString PercentText(double zoom) {
    return QStringLiteral("%1%").arg(std::lround(zoom * 100));
}

} // namespace

ReportViewer::ReportViewer(QWidget* parent) : QWidget(parent) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    m_view = new PageView(this);
    layout->addWidget(m_view, 1);
    // Keys reach the toolbar's commands from anywhere in the viewer; the page view has them first.
    setFocusProxy(m_view);

    // The commands and their keys exist from the start; the toolbar that shows them is built when the
    // viewer first shows (the output windows of silent prints and PDF exports never do).
    addCommand(CmdPrint, QStringLiteral("打印"), {QKeySequence::Print});
    addCommand(CmdExportPdf, QStringLiteral("导出 PDF"));
    // Ctrl+= is Ctrl++ without Shift on most keyboards; the keypad's keys count too.
    addCommand(CmdZoomOut, QStringLiteral("缩小"),
               {QKeySequence(Qt::CTRL | Qt::Key_Minus),
                QKeySequence(Qt::ControlModifier | Qt::KeypadModifier | Qt::Key_Minus)});
    addCommand(CmdZoomIn, QStringLiteral("放大"),
               {QKeySequence(Qt::CTRL | Qt::Key_Plus), QKeySequence(Qt::CTRL | Qt::Key_Equal),
                QKeySequence(Qt::ControlModifier | Qt::KeypadModifier | Qt::Key_Plus)});
    addCommand(CmdFitWidth, QStringLiteral("适合宽度"));
    addCommand(CmdFitPage, QStringLiteral("适合页面"));
    addCommand(CmdFirst, QStringLiteral("首页"), {QKeySequence(Qt::Key_Home)});
    addCommand(CmdPrevious, QStringLiteral("上一页"), {QKeySequence(Qt::Key_PageUp)});
    addCommand(CmdNext, QStringLiteral("下一页"), {QKeySequence(Qt::Key_PageDown)});
    addCommand(CmdLast, QStringLiteral("末页"), {QKeySequence(Qt::Key_End)});
    addCommand(CmdClose, QStringLiteral("关闭"), {QKeySequence(Qt::Key_Escape)});

    connect(action(CmdPrint), &QAction::triggered, this, &ReportViewer::printWithDialog);
    connect(action(CmdExportPdf), &QAction::triggered, this, &ReportViewer::exportPdfWithDialog);
    connect(action(CmdZoomIn), &QAction::triggered, this, &ReportViewer::zoomIn);
    connect(action(CmdZoomOut), &QAction::triggered, this, &ReportViewer::zoomOut);
    connect(action(CmdFitWidth), &QAction::triggered, this, &ReportViewer::fitWidth);
    connect(action(CmdFitPage), &QAction::triggered, this, &ReportViewer::fitPage);
    connect(action(CmdFirst), &QAction::triggered, this, &ReportViewer::firstPage);
    connect(action(CmdPrevious), &QAction::triggered, this, &ReportViewer::previousPage);
    connect(action(CmdNext), &QAction::triggered, this, &ReportViewer::nextPage);
    connect(action(CmdLast), &QAction::triggered, this, &ReportViewer::lastPage);
    connect(action(CmdClose), &QAction::triggered, this, &ReportViewer::closePreview);
    connect(m_view, &PageView::currentPageChanged, this, &ReportViewer::updateControls);
    connect(m_view, &PageView::zoomChanged, this, &ReportViewer::updateControls);
    updateControls();
}

ReportViewer::~ReportViewer() = default;

QToolBar* ReportViewer::toolBar() {
    ensureToolBar();
    return m_toolBar;
}

void ReportViewer::showEvent(QShowEvent* event) {
    ensureToolBar();
    QWidget::showEvent(event);
}

void ReportViewer::ensureToolBar() {
    if (m_toolBar) return;
    m_toolBar = new QToolBar(this);
    m_toolBar->setObjectName(QStringLiteral("viewerToolBar"));
    m_toolBar->setIconSize(QSize(20, 20));
    m_toolBar->setToolButtonStyle(Qt::ToolButtonIconOnly);
    m_toolBar->setStyleSheet(QStringLiteral("QToolBar#viewerToolBar { background: #f3f4f6; border-bottom: "
                                            "1px solid #d1d5db; spacing: 2px; padding: 3px; }"
                                            "QLabel { color: #374151; padding: 0 6px 0 2px; }"));
    static_cast<QVBoxLayout*>(layout())->insertWidget(0, m_toolBar);

    auto add = [this](Command command, ViewerIcon icon) {
        QAction* a = action(command);
        a->setIcon(MakeViewerIcon(icon));
        m_toolBar->addAction(a);
    };
    add(CmdPrint, ViewerIcon::Print);
    add(CmdExportPdf, ViewerIcon::ExportPdf);
    m_toolBar->addSeparator();
    add(CmdZoomOut, ViewerIcon::ZoomOut);
    m_zoomBox = new QComboBox(m_toolBar);
    m_zoomBox->setObjectName(QStringLiteral("zoomBox"));
    m_zoomBox->setEditable(true);
    m_zoomBox->setInsertPolicy(QComboBox::NoInsert);
    m_zoomBox->setMinimumContentsLength(5);
    m_zoomBox->setToolTip(QStringLiteral("缩放比例"));
    for (double step : ViewerGeometry::ZoomSteps())
        m_zoomBox->addItem(PercentText(step));
    m_toolBar->addWidget(m_zoomBox);
    add(CmdZoomIn, ViewerIcon::ZoomIn);
    add(CmdFitWidth, ViewerIcon::FitWidth);
    add(CmdFitPage, ViewerIcon::FitPage);
    m_toolBar->addSeparator();
    add(CmdFirst, ViewerIcon::First);
    add(CmdPrevious, ViewerIcon::Previous);
    m_pageEdit = new QLineEdit(m_toolBar);
    m_pageEdit->setObjectName(QStringLiteral("pageCounter"));
    m_pageEdit->setAlignment(Qt::AlignCenter);
    m_pageEdit->setFixedWidth(56);
    m_pageEdit->setToolTip(QStringLiteral("输入页码后按回车跳转"));
    m_pageEdit->setMaxLength(6);
    m_toolBar->addWidget(m_pageEdit);
    m_pageTotal = new QLabel(m_toolBar);
    m_pageTotal->setObjectName(QStringLiteral("pageTotal"));
    m_toolBar->addWidget(m_pageTotal);
    add(CmdNext, ViewerIcon::Next);
    add(CmdLast, ViewerIcon::Last);
    auto* spacer = new QWidget(m_toolBar);
    spacer->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    m_toolBar->addWidget(spacer);
    add(CmdClose, ViewerIcon::Close);

    // Toolbar widgets keep the wheel to themselves: watch them for Ctrl+wheel.
    m_toolBar->installEventFilter(this);
    for (QWidget* w : m_toolBar->findChildren<QWidget*>())
        w->installEventFilter(this);
    connect(m_pageEdit, &QLineEdit::returnPressed, this, &ReportViewer::pageTyped);
    connect(m_zoomBox, &QComboBox::activated, this, &ReportViewer::zoomTyped);
    connect(m_zoomBox->lineEdit(), &QLineEdit::returnPressed, this, &ReportViewer::zoomTyped);
    updateControls();
}

void ReportViewer::addCommand(Command command, const QString& text, const QList<QKeySequence>& keys) {
    auto* a = new QAction(text, this);
    a->setShortcuts(keys);
    // The viewer holds the action, so its keys work wherever the focus is inside the viewer, not
    // only on the toolbar.
    addAction(a);
    a->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    a->setToolTip(keys.isEmpty()
                      ? text
                      : QStringLiteral("%1 (%2)").arg(text, keys.first().toString(QKeySequence::NativeText)));
    m_commands.append({command, a});
}

QAction* ReportViewer::action(Command command) const {
    for (const auto& c : m_commands)
        if (c.first == command) return c.second;
    return nullptr;
}

void ReportViewer::BindReport(Report* report) {
    m_report = report;
    m_reportGuard = ReportAsObject(report);
    m_started = false;
    m_view->clearPages();
    updateControls();
}

void ReportViewer::StartPreview() {
    if (m_reportGuard.isNull()) m_report = nullptr;
    if (!m_report) {
        m_view->clearPages();
        updateControls();
        return;
    }
    Report* report = m_report;
    QPointer<QObject> guard = m_reportGuard;
    m_view->setPages(ReportPageSizes(*report), [report, guard](int index, QPainter& painter) {
        if (!guard.isNull()) PaintReportPage(*report, index, painter);
    });
    m_started = true;
    if (m_fitWidthOnStart) m_view->zoomToFitWidth();
    // The keys work at once, before any click; a viewer inside a larger window (the designer's live
    // preview) leaves the focus where the user has it.
    QWidget* focus = window()->focusWidget();
    if (!focus || focus == this || isAncestorOf(focus)) m_view->setFocus(Qt::OtherFocusReason);
    updateControls();
}

bool ReportViewer::SetSetting(int id, const QVariant& value) {
    if (id == kSettingViewMode) {
        bool ok = false;
        const int mode = value.toInt(&ok);
        if (!ok || (mode != 1 && mode != 2)) return false;
        m_view->setViewMode(mode == 1 ? ViewMode::SinglePage : ViewMode::Continuous);
        return true;
    }
    return false;
}

bool ReportViewer::CallOperation(int operation) {
    if (operation == kOperationFitWidth) {
        // Before the preview starts there are no pages to fit yet: remember it for StartPreview.
        m_fitWidthOnStart = true;
        if (m_started) fitWidth();
        return true;
    }
    return false;
}

bool ReportViewer::CallOperation(int operation, int argument) {
    if (operation == kOperationShowCommand) {
        QAction* a = action(static_cast<Command>(argument));
        if (!a) return false;
        a->setVisible(true);
        return true;
    }
    return false;
}

int ReportViewer::pageCount() const {
    return m_view->pageCount();
}

int ReportViewer::currentPage() const {
    return pageCount() == 0 ? 0 : m_view->currentPage() + 1;
}

double ReportViewer::zoom() const {
    return m_view->zoom();
}

ViewMode ReportViewer::viewMode() const {
    return m_view->viewMode();
}

QString ReportViewer::pageCounterText() const {
    return QStringLiteral("%1 / %2").arg(currentPage()).arg(pageCount());
}

QString ReportViewer::zoomText() const {
    return m_zoomBox ? m_zoomBox->currentText() : PercentText(m_view->zoom());
}

// A page number past either end goes to that end; any other text gives way to the page in view.
void ReportViewer::pageTyped() {
    bool ok = false;
    const int page = m_pageEdit->text().trimmed().toInt(&ok);
    if (ok) goToPage(page);
    updateControls();
}

void ReportViewer::zoomTyped() {
    const auto zoom = ViewerGeometry::ParseZoomPercent(m_zoomBox->currentText().toStdString());
    // The box shows whole percents: its own text read back must not round the zoom in force.
    if (zoom && std::lround(*zoom * 100) != std::lround(m_view->zoom() * 100)) m_view->setZoom(*zoom);
    updateControls(); // a refused text gives way to the zoom in force
}

bool ReportViewer::eventFilter(QObject* watched, QEvent* event) {
    // Ctrl+wheel over the toolbar zooms as it does over the pages.
    if (event->type() == QEvent::Wheel) {
        auto* wheel = static_cast<QWheelEvent*>(event);
        if (wheel->modifiers() & Qt::ControlModifier) {
            const int delta = wheel->angleDelta().y();
            if (delta > 0) zoomIn();
            if (delta < 0) zoomOut();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void ReportViewer::firstPage() {
    m_view->goToPage(0);
}
void ReportViewer::previousPage() {
    m_view->goToPage(m_view->currentPage() - 1);
}
void ReportViewer::nextPage() {
    m_view->goToPage(m_view->currentPage() + 1);
}
void ReportViewer::lastPage() {
    m_view->goToPage(m_view->pageCount() - 1);
}
void ReportViewer::goToPage(int page) {
    m_view->goToPage(page - 1);
}
void ReportViewer::zoomIn() {
    m_view->setZoom(ViewerGeometry::ZoomIn(m_view->zoom()));
}
void ReportViewer::zoomOut() {
    m_view->setZoom(ViewerGeometry::ZoomOut(m_view->zoom()));
}
void ReportViewer::fitWidth() {
    m_view->zoomToFitWidth();
}
void ReportViewer::fitPage() {
    m_view->zoomToFitPage();
}

void ReportViewer::printWithDialog() {
    if (!m_report || m_reportGuard.isNull() || pageCount() == 0) return;
    QPrinter printer(QPrinter::HighResolution);
    PreparePrinterFor(*m_report, printer);
    QPrintDialog dialog(&printer, this);
    dialog.setOption(QAbstractPrintDialog::PrintPageRange, true);
    dialog.setMinMax(1, pageCount());
    // Only what reaches the job is offered. Qt 6.4's free-form "Pages" box refuses every entry it is
    // given (the from-to range stays); the page set and the printer's own properties (paper, trays)
    // would be kept by Qt for its own print engine, not by ours. The dialog shows its controls again
    // as printers are chosen, so they are kept hidden.
    KeepHidden keepHidden;
    for (const char* name :
         {"pagesRadioButton", "pagesLineEdit", "pageSetCombo", "pageSetLabel", "properties"})
        if (auto* w = dialog.findChild<QWidget*>(QString::fromLatin1(name))) keepHidden.watch(w);
    if (dialog.exec() != QDialog::Accepted) return;
    QString error;
    if (!PrintReportOn(*m_report, printer, &error)) QMessageBox::warning(this, QStringLiteral("打印"), error);
}

QString ReportViewer::s_lastPdfFolder;

void ReportViewer::exportPdfWithDialog() {
    if (!m_report || m_reportGuard.isNull()) return;
    QString suggested = ReportTitleOf(*m_report);
    if (suggested.endsWith(QStringLiteral(".grf"), Qt::CaseInsensitive)) suggested.chop(4);
    if (suggested.isEmpty()) suggested = QStringLiteral("report");
    // The user's documents (or the folder of the last export), never the agent's working directory.
    QString folder = s_lastPdfFolder;
    if (folder.isEmpty() || !QDir(folder).exists())
        folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (folder.isEmpty() || !QDir(folder).exists()) folder = QDir::homePath();
    const QString path = QFileDialog::getSaveFileName(
        this, QStringLiteral("导出 PDF"), QDir(folder).filePath(suggested + QStringLiteral(".pdf")),
        QStringLiteral("PDF 文件 (*.pdf)"));
    if (path.isEmpty()) return;
    s_lastPdfFolder = QFileInfo(path).absolutePath();
    QString error;
    if (!ExportReportPdf(*m_report, path, &error))
        QMessageBox::warning(this, QStringLiteral("导出 PDF"), error);
}

void ReportViewer::closePreview() {
    emit PreviewEnded();
}

void ReportViewer::updateControls() {
    const int count = pageCount(), current = currentPage();
    if (m_toolBar) {
        m_pageEdit->setText(QString::number(current));
        m_pageEdit->setEnabled(count > 0);
        m_pageTotal->setText(QStringLiteral("/ %1").arg(count));
        m_zoomBox->setEditText(PercentText(m_view->zoom()));
        m_zoomBox->setEnabled(count > 0);
    }
    const bool hasPages = count > 0;
    action(CmdFirst)->setEnabled(hasPages && current > 1);
    action(CmdPrevious)->setEnabled(hasPages && current > 1);
    action(CmdNext)->setEnabled(hasPages && current < count);
    action(CmdLast)->setEnabled(hasPages && current < count);
    action(CmdPrint)->setEnabled(hasPages);
    action(CmdExportPdf)->setEnabled(m_report != nullptr);
    action(CmdZoomIn)->setEnabled(hasPages && m_view->zoom() < ViewerGeometry::kMaxZoom - 1e-6);
    action(CmdZoomOut)->setEnabled(hasPages && m_view->zoom() > ViewerGeometry::kMinZoom + 1e-6);
    action(CmdFitWidth)->setEnabled(hasPages);
    action(CmdFitPage)->setEnabled(hasPages);
}

} // namespace verolux::reports
