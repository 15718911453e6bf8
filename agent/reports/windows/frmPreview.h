#pragma once

#include "agent/reports/windows/ReportWindow.h"

#include "common/LogFile.h"

namespace verolux {

// Shows one filled report on screen. Handles its own loading failures: one line in the log file,
// and the window stays as far as it got.
class frmPreview : public ReportWindow {
    Q_OBJECT
  public:
    explicit frmPreview(const std::filesystem::path& programFolder);

    // Shows the window modeless; the loading steps run inside this call. Returns the failure it
    // logged, if any.
    std::optional<JobFailure> Show();

  private:
    LogFile m_log;
};

} // namespace verolux
