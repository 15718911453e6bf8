#pragma once

#include "agent/reports/viewer/ViewerGeometry.h"

#include <QPointer>
#include <QVariant>
#include <QWidget>

class QAction;
class QComboBox;
class QLabel;
class QLineEdit;
class QToolBar;

namespace verolux::reports {

class Report;
class PageView;

// On-screen preview of a filled report: a toolbar (print, export PDF, zoom, fit, paging, close) over a
// scrollable page view. The report object belongs to the caller and must outlive the binding.
class ReportViewer : public QWidget {
    Q_OBJECT
  public:
    // Numbered settings and operations the agent applies before binding (see docs/viewer.md).
    static constexpr int kSettingViewMode = 145;     // 1 single page, 2 continuous
    static constexpr int kOperationShowCommand = 63; // argument: a command id below
    static constexpr int kOperationFitWidth = 67;    // no argument

    // Command ids of the toolbar, as operation 63 takes them.
    enum Command {
        CmdPrint = 1,
        CmdZoomIn = 2,
        CmdZoomOut = 3,
        CmdFitWidth = 4,
        CmdFitPage = 5,
        CmdFirst = 6,
        CmdPrevious = 7,
        CmdNext = 8,
        CmdLast = 9,
        CmdClose = 10,
        CmdExportPdf = 19
    };

    explicit ReportViewer(QWidget* parent = nullptr);
    ~ReportViewer() override;

    void BindReport(Report* report);
    // Lays the bound report out (if not done yet) and shows its first page.
    void StartPreview();

    // Unknown ids and values are ignored and return false.
    bool SetSetting(int id, const QVariant& value);
    bool CallOperation(int operation);
    bool CallOperation(int operation, int argument);

    int pageCount() const;
    int currentPage() const; // 1-based; 0 when there are no pages
    double zoom() const;
    ViewMode viewMode() const;
    QString pageCounterText() const; // "current / count"
    QString zoomText() const;        // "75%"
    QToolBar* toolBar();             // built on first use
    QAction* action(Command command) const;
    PageView* pageView() const { return m_view; }

  public slots:
    void firstPage();
    void previousPage();
    void nextPage();
    void lastPage();
    void goToPage(int page); // 1-based
    void zoomIn();
    void zoomOut();
    void fitWidth();
    void fitPage();
    void printWithDialog();
    void exportPdfWithDialog();
    void closePreview();

  signals:
    void PreviewEnded();

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;

  private:
    void addCommand(Command command, const QString& text, const QList<QKeySequence>& keys = {});
    void ensureToolBar();
    void updateControls();
    void pageTyped();
    void zoomTyped();

    QPointer<QObject> m_reportGuard; // clears the binding if the report is destroyed first
    Report* m_report = nullptr;
    QToolBar* m_toolBar = nullptr;
    PageView* m_view = nullptr;
    QLineEdit* m_pageEdit = nullptr;
    QLabel* m_pageTotal = nullptr;
    QComboBox* m_zoomBox = nullptr;
    QList<QPair<int, QAction*>> m_commands;
    static QString s_lastPdfFolder; // for the next export dialog, while the program runs
    bool m_fitWidthOnStart = false;
    bool m_started = false;
};

} // namespace verolux::reports
