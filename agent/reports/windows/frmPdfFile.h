#pragma once

#include "agent/reports/windows/ReportWindow.h"

namespace verolux {

// Prints a filled report, or exports it to PDF and uploads it, without ever showing it. Its
// failures reach the opener.
class frmPdfFile : public ReportWindow {
    Q_OBJECT
  public:
    explicit frmPdfFile(std::filesystem::path programFolder);

    // Runs the loading steps and produces the output (a print with the job's options); throws on
    // failure.
    OutputResult Show(const JobOptions& options = {});
};

} // namespace verolux
