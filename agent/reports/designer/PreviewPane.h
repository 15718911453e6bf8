#pragma once

#include "agent/reports/design/DesignDocument.h"
#include "agent/reports/engine/Report.h"
#include "common/JsonReader.h"

#include <QTimer>
#include <QWidget>

#include <optional>

class QLabel;

namespace verolux::reports {

class ReportViewer;

// The design filled and laid out as it will print, beside the canvas: refreshed a moment after each
// edit, with the rows of a request file when one is given, else with rows made up from the fields'
// types. It keeps its place on the page across refreshes.
class PreviewPane : public QWidget {
    Q_OBJECT
  public:
    // See docs/designer.md.
    static constexpr int kDelayMs = 250;
    static constexpr int kSampleRows = 200;

    explicit PreviewPane(design::DesignDocument& doc, QWidget* parent = nullptr);
    ~PreviewPane() override;

    // A print request (as the web page sends it) whose parameters and rows fill the preview. False
    // with the reason when the file cannot be read or is not such a request.
    bool loadRequest(const QString& path, QString* error);
    bool hasRequest() const { return m_request.has_value(); }

    void scheduleRefresh();
    void refreshNow();
    bool pending() const { return m_timer.isActive(); }

    // The rows and parameters the preview shows, for the current design (filled now if the preview has
    // not been since the last edit): the values the designer shows expressions and rules on.
    Report& filledReport();
    ReportViewer* viewer() const { return m_viewer; }
    Report& report() { return m_report; }

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    void fill();

    design::DesignDocument& m_doc;
    Report m_report;
    ReportViewer* m_viewer = nullptr;
    QLabel* m_status = nullptr;
    QTimer m_timer;
    std::optional<JsonDocument> m_request;
    uint64_t m_shown = 0;
    uint64_t m_filled = 0; // the generation m_report holds the template and rows of
};

} // namespace verolux::reports
