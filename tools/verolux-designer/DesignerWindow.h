#pragma once

#include "agent/reports/engine/Report.h"

#include <QMainWindow>
#include <QStringList>

class QMenu;
class QSettings;

namespace verolux::reports {

class ReportDesigner;

// The designer program's main window: the designer control around one report object, with New, Open,
// Save, Save As and recent files, and a question before unsaved changes are lost.
class DesignerWindow : public QMainWindow {
    Q_OBJECT
  public:
    static constexpr int kMaxRecentFiles = 8;

    // `settings` keeps the recent files; it must outlive the window.
    explicit DesignerWindow(QSettings& settings, QWidget* parent = nullptr);
    ~DesignerWindow() override;

    // False with a message for the user when the file is not a template this engine reads; the
    // design on screen then stays as it was.
    bool openFile(const QString& path, QString* error = nullptr);
    bool saveTo(const QString& path, QString* error = nullptr);
    void newTemplate();
    bool loadPreviewData(const QString& path, QString* error);

    QString filePath() const { return m_path; }
    QStringList recentFiles() const;
    ReportDesigner* designer() const { return m_designer; }

  public slots:
    void openWithDialog();
    bool save();
    bool saveAs();

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    // Unsaved changes: asks whether to save them. False when the user cancels (or saving failed).
    bool maybeSave();
    void remember(const QString& path);
    void rebuildRecentMenu();
    void updateTitle();

    QSettings& m_settings;
    Report m_report;
    ReportDesigner* m_designer = nullptr;
    QMenu* m_recent = nullptr;
    QString m_path;
};

} // namespace verolux::reports
