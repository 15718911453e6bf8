#include "agent/reports/windows/frmPdfFile.h"

namespace verolux {

frmPdfFile::frmPdfFile(std::filesystem::path programFolder) : ReportWindow(std::move(programFolder)) {}

void frmPdfFile::Show() {
    RunLoadingSteps();
}

} // namespace verolux
