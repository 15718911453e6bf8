#pragma once

#include "agent/reports/designer/RecoveryStore.h"
#include "agent/reports/engine/Report.h"

#include <QMainWindow>
#include <QStringList>
#include <QTimer>

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
    // The open design is copied aside this often while it has unsaved edits (see docs/designer.md).
    static constexpr int kAutosaveMs = 30000;

    // `settings` keeps the recent files and the window's place; it must outlive the window. Autosaved
    // copies go to `recoveryFolder`.
    explicit DesignerWindow(QSettings& settings, QWidget* parent = nullptr,
                            const QString& recoveryFolder = RecoveryStore::defaultFolder());
    ~DesignerWindow() override;

    // False with a message for the user when the file is not a template this engine reads; the
    // design on screen then stays as it was.
    bool openFile(const QString& path, QString* error = nullptr);
    bool saveTo(const QString& path, QString* error = nullptr);
    void newTemplate();
    bool loadPreviewData(const QString& path, QString* error);

    QString filePath() const { return m_path; }

    // A copy left by a designer that ended abnormally: asks whether to open it. True when it was opened.
    bool offerRecovery();
    // Copies the design aside now when it has unsaved edits (else removes the copy).
    void autosave();
    void setAutosaveInterval(int ms) { m_autosave.setInterval(ms); }
    RecoveryStore& recovery() { return m_recovery; }
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
    void placeOnScreen();

    QSettings& m_settings;
    RecoveryStore m_recovery;
    QTimer m_autosave;
    uint64_t m_autosaved = 0; // the design generation last copied aside
    Report m_report;
    ReportDesigner* m_designer = nullptr;
    QMenu* m_recent = nullptr;
    QString m_path;
};

} // namespace verolux::reports
