#include "agent/reports/designer/PreviewPane.h"

#include "agent/reports/design/SampleData.h"
#include "agent/reports/engine/RequestFill.h"
#include "agent/reports/viewer/PageView.h"
#include "agent/reports/viewer/ReportViewer.h"

#include <QFile>
#include <QLabel>
#include <QScrollBar>
#include <QToolBar>
#include <QVBoxLayout>

namespace verolux::reports {

PreviewPane::PreviewPane(design::DesignDocument& doc, QWidget* parent) : QWidget(parent), m_doc(doc) {
    setObjectName(QStringLiteral("previewPane"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    m_status = new QLabel(this);
    m_status->setObjectName(QStringLiteral("previewStatus"));
    m_status->setStyleSheet(QStringLiteral("QLabel { color: #4b5563; background: #f3f4f6; padding: 3px 6px; "
                                           "border-bottom: 1px solid #d1d5db; }"));
    layout->addWidget(m_status);
    m_viewer = new ReportViewer(this);
    m_viewer->CallOperation(ReportViewer::kOperationFitWidth);
    // Closing belongs to the designer's own panel switch, not to the preview.
    if (QAction* close = m_viewer->action(ReportViewer::CmdClose)) close->setVisible(false);
    layout->addWidget(m_viewer, 1);
    m_viewer->BindReport(&m_report);
    m_timer.setSingleShot(true);
    m_timer.setInterval(kDelayMs);
    connect(&m_timer, &QTimer::timeout, this, &PreviewPane::refreshNow);
}

PreviewPane::~PreviewPane() = default;

bool PreviewPane::loadRequest(const QString& path, QString* error) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (error) *error = path + QStringLiteral(": ") + file.errorString();
        return false;
    }
    const QByteArray bytes = file.readAll();
    try {
        JsonDocument doc = JsonDocument::Parse(std::string_view(bytes.constData(), size_t(bytes.size())));
        // Reading it once now says whether it is a request at all.
        Report probe;
        FillFromRequest(probe, doc);
        m_request = std::move(doc);
        m_filled = 0;
        m_shown = 0;
    } catch (const JsonError& e) {
        if (error) *error = path + QStringLiteral(": ") + QString::fromUtf8(e.what());
        return false;
    }
    scheduleRefresh();
    return true;
}

void PreviewPane::scheduleRefresh() {
    if (m_shown == m_doc.generation() && m_shown != 0) return;
    m_timer.start();
}

void PreviewPane::fill() {
    if (m_request) {
        try {
            FillFromRequest(m_report, *m_request);
            return;
        } catch (const JsonError&) {
            // Checked when it was loaded; a template change cannot make it fail. Fall back to samples.
        }
    }
    const Template& t = m_doc.tmpl();
    const std::vector<ScalarValue> params = design::SampleParameters(t);
    for (int i = 1; i <= m_report.Parameters().count(); ++i)
        m_report.Parameters().item(i).setValue(params[size_t(i - 1)]);
    m_report.PrepareRecords();
    for (const auto& row : design::SampleRows(t, kSampleRows)) {
        m_report.AppendRecord();
        for (int j = 1; j <= m_report.Fields().count(); ++j)
            m_report.Fields().item(j).setValue(row[size_t(j - 1)]);
        m_report.PostRecord();
    }
}

Report& PreviewPane::filledReport() {
    if (m_filled != m_doc.generation() || m_filled == 0) {
        m_report.setTemplate(m_doc.tmpl());
        fill();
        m_filled = m_doc.generation();
        m_shown = 0; // the viewer still shows the pages of before: lay out again when it shows
    }
    return m_report;
}

void PreviewPane::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (m_shown != m_doc.generation()) scheduleRefresh();
}

void PreviewPane::refreshNow() {
    m_timer.stop();
    if (isHidden() || (parentWidget() && parentWidget()->isHidden())) return; // again when it shows
    m_shown = m_doc.generation();
    QScrollBar* bar = m_viewer->pageView()->verticalScrollBar();
    const int keep = bar->value();
    m_report.setTemplate(m_doc.tmpl());
    fill();
    m_filled = m_doc.generation();
    m_viewer->StartPreview();
    bar->setValue(keep);
    const int pages = m_report.pageCount();
    m_status->setText((m_request ? QStringLiteral("预览（请求文件的数据，%1 行）")
                                 : QStringLiteral("预览（示例数据，%1 行）"))
                          .arg(m_report.recordCount()) +
                      QStringLiteral(" · 共 %1 页").arg(pages));
}

} // namespace verolux::reports
