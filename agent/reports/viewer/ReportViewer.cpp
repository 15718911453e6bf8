#include "agent/reports/viewer/ReportViewer.h"

#include "agent/reports/viewer/PageView.h"
#include "agent/reports/viewer/ViewerIcons.h"
#include "agent/reports/viewer/ViewerReportAccess.h"

#include <QAction>
#include <QFileDialog>
#include <QLabel>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrinter>
#include <QToolBar>
#include <QVBoxLayout>

#include <cmath>

namespace verolux::reports {

ReportViewer::ReportViewer(QWidget* parent) : QWidget(parent) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    m_toolBar = new QToolBar(this);
    m_toolBar->setObjectName(QStringLiteral("viewerToolBar"));
    m_toolBar->setIconSize(QSize(20, 20));
    m_toolBar->setToolButtonStyle(Qt::ToolButtonIconOnly);
    m_toolBar->setStyleSheet(QStringLiteral("QToolBar#viewerToolBar { background: #f3f4f6; border-bottom: "
                                            "1px solid #d1d5db; spacing: 2px; padding: 3px; }"
                                            "QLabel { color: #374151; padding: 0 6px; }"));
    layout->addWidget(m_toolBar);

    m_view = new PageView(this);
    layout->addWidget(m_view, 1);

    auto* print = addCommand(CmdPrint, tr("Print"), static_cast<int>(ViewerIcon::Print));
    print->setShortcut(QKeySequence::Print);
    addCommand(CmdExportPdf, tr("Export PDF"), static_cast<int>(ViewerIcon::ExportPdf));
    m_toolBar->addSeparator();
    addCommand(CmdZoomOut, tr("Zoom out"), static_cast<int>(ViewerIcon::ZoomOut))
        ->setShortcut(QKeySequence::ZoomOut);
    m_zoomLabel = new QLabel(this);
    m_zoomLabel->setObjectName(QStringLiteral("zoomLabel"));
    m_zoomLabel->setMinimumWidth(52);
    m_zoomLabel->setAlignment(Qt::AlignCenter);
    m_toolBar->addWidget(m_zoomLabel);
    addCommand(CmdZoomIn, tr("Zoom in"), static_cast<int>(ViewerIcon::ZoomIn))
        ->setShortcut(QKeySequence::ZoomIn);
    addCommand(CmdFitWidth, tr("Fit width"), static_cast<int>(ViewerIcon::FitWidth));
    addCommand(CmdFitPage, tr("Fit page"), static_cast<int>(ViewerIcon::FitPage));
    m_toolBar->addSeparator();
    addCommand(CmdFirst, tr("First page"), static_cast<int>(ViewerIcon::First));
    addCommand(CmdPrevious, tr("Previous page"), static_cast<int>(ViewerIcon::Previous));
    m_pageCounter = new QLabel(this);
    m_pageCounter->setObjectName(QStringLiteral("pageCounter"));
    m_pageCounter->setMinimumWidth(70);
    m_pageCounter->setAlignment(Qt::AlignCenter);
    m_toolBar->addWidget(m_pageCounter);
    addCommand(CmdNext, tr("Next page"), static_cast<int>(ViewerIcon::Next));
    addCommand(CmdLast, tr("Last page"), static_cast<int>(ViewerIcon::Last));
    auto* spacer = new QWidget(this);
    spacer->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    m_toolBar->addWidget(spacer);
    auto* close = addCommand(CmdClose, tr("Close"), static_cast<int>(ViewerIcon::Close));
    close->setShortcut(QKeySequence(Qt::Key_Escape));

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
    connect(close, &QAction::triggered, this, &ReportViewer::closePreview);
    connect(m_view, &PageView::currentPageChanged, this, &ReportViewer::updateControls);
    connect(m_view, &PageView::zoomChanged, this, &ReportViewer::updateControls);
    updateControls();
}

ReportViewer::~ReportViewer() = default;

QAction* ReportViewer::addCommand(Command command, const QString& text, int icon) {
    auto* a = m_toolBar->addAction(MakeViewerIcon(static_cast<ViewerIcon>(icon)), text);
    a->setToolTip(text);
    a->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    m_commands.append({command, a});
    return a;
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
    return m_pageCounter->text();
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
    // Qt 6.4's free-form "Pages" box refuses every entry it is given: offer the from-to range only.
    for (const char* name : {"pagesRadioButton", "pagesLineEdit"})
        if (auto* w = dialog.findChild<QWidget*>(QString::fromLatin1(name))) w->hide();
    if (dialog.exec() != QDialog::Accepted) return;
    QString error;
    if (!PrintReportOn(*m_report, printer, &error)) QMessageBox::warning(this, tr("Print"), error);
}

void ReportViewer::exportPdfWithDialog() {
    if (!m_report || m_reportGuard.isNull()) return;
    QString suggested = ReportTitleOf(*m_report);
    if (suggested.endsWith(QStringLiteral(".grf"), Qt::CaseInsensitive)) suggested.chop(4);
    if (suggested.isEmpty()) suggested = QStringLiteral("report");
    const QString path = QFileDialog::getSaveFileName(
        this, tr("Export PDF"), suggested + QStringLiteral(".pdf"), tr("PDF files (*.pdf)"));
    if (path.isEmpty()) return;
    QString error;
    if (!ExportReportPdf(*m_report, path, &error)) QMessageBox::warning(this, tr("Export PDF"), error);
}

void ReportViewer::closePreview() {
    emit PreviewEnded();
}

void ReportViewer::updateControls() {
    const int count = pageCount(), current = currentPage();
    m_pageCounter->setText(QStringLiteral("%1 / %2").arg(current).arg(count));
    m_zoomLabel->setText(QStringLiteral("%1%").arg(std::lround(m_view->zoom() * 100)));
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
