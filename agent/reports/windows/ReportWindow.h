#pragma once

#include "agent/printing/PrintRequest.h"
#include "agent/printing/RepPrint.h"
#include "agent/reports/engine/Report.h"
#include "agent/reports/viewer/ReportViewer.h"

#include <QPointer>
#include <QWidget>

#include <filesystem>
#include <functional>
#include <memory>
#include <string>

namespace verolux {

// What the preview and the output window share: the form (caption "报表预览", one viewer covering the
// client area) and the loading steps that fill the window's own report object from a request and
// produce the output its mode asks for.
class ReportWindow : public QWidget {
    Q_OBJECT
  public:
    // Public members set by the opener before the window is shown.
    std::string reportFileData; // the whole request text
    std::string reportPreview;  // the request's `preview`

    reports::ReportViewer* ReportViewer1 = nullptr;

    const reports::Report* report() const { return m_report.get(); }

  protected:
    explicit ReportWindow(std::filesystem::path programFolder);
    ~ReportWindow() override;

    // Steps 2 to 10 of loading; a print takes the options, a PDF is exported and handed back for
    // uploading. Throws on the first failure, with what the failing part said (a JobError carries
    // its code).
    OutputResult RunLoadingSteps(const JobOptions& options = {});

    // The request as read in step 2 (empty texts before that).
    const std::string& repname() const { return m_repname; }
    const std::string& reporturl() const { return m_reporturl; }

    void Report_ExportBegin(reports::ExportOptions* pOptionObject);

    std::filesystem::path m_programFolder;

  private:
    OutputResult output(const PrintRequest& request, const JobOptions& options);
    void LogWarnings(const PrintRequest& request, const char* kind, const QStringList& warnings) const;

    std::unique_ptr<reports::Report> m_report;
    std::string m_repname, m_reporturl;
};

// Throws JobError(code, message) — the loading steps stop at the first failure.
[[noreturn]] void LoadingFailure(const char* code, const QString& message);

// A page's copies, duplex and page ranges over the report's own print options (a request without
// options leaves them as they are).
reports::PrintOptions WithJobOptions(reports::PrintOptions print, const JobOptions& job);

} // namespace verolux
