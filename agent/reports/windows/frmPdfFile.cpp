#include "agent/reports/windows/frmPdfFile.h"

namespace verolux {

frmPdfFile::frmPdfFile(std::filesystem::path programFolder) : ReportWindow(std::move(programFolder)) {}

OutputResult frmPdfFile::Show(const JobOptions& options) {
    return RunLoadingSteps(options);
}

} // namespace verolux
