#include "agent/reports/windows/frmPdfFile.h"

#include <QEvent>

namespace verolux {

frmPdfFile::frmPdfFile(std::filesystem::path programFolder) : ReportWindow(std::move(programFolder)) {
    connect(ReportViewer1, &reports::ReportViewer::PreviewEnded, this, &QWidget::close);
}

void frmPdfFile::Show() {
    RunLoadingSteps();
}

void frmPdfFile::changeEvent(QEvent* event) {
    // Never "1" here: the window hides whenever it is activated.
    if (event->type() == QEvent::ActivationChange && isActiveWindow() && reportPreview != "1") hide();
    ReportWindow::changeEvent(event);
}

} // namespace verolux
