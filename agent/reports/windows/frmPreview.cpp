#include "agent/reports/windows/frmPreview.h"

#include <exception>

namespace verolux {

frmPreview::frmPreview(const std::filesystem::path& programFolder)
    : ReportWindow(programFolder), m_log(programFolder) {
    // The viewer's close button ends the window, and with it the report object.
    connect(ReportViewer1, &reports::ReportViewer::PreviewEnded, this, &QWidget::close);
}

std::optional<JobFailure> frmPreview::Show() {
    // 1. Not topmost. The window shows itself once its report is ready (or its loading failed).
    setWindowFlag(Qt::WindowStaysOnTopHint, false);
    QPointer<frmPreview> self(this);
    std::optional<JobFailure> failure;
    try {
        RunLoadingSteps();
    } catch (const std::exception& e) {
        failure = FailureOf(e);
        if (!self) return failure;
        try {
            m_log.WriteLog(repname() + "   " + reporturl() + "\r" + "加载失败，原因：" + e.what());
        } catch (...) {
        }
        // Left as far as it got: the bare caption and an empty viewer, for the user to close.
        show();
    }
    // Only now may closing release the window: its loading steps are done.
    if (self) setAttribute(Qt::WA_DeleteOnClose);
    return failure;
}

} // namespace verolux
