#pragma once

#include "agent/reports/design/DesignDocument.h"

#include <QPointer>
#include <QVariant>
#include <QWidget>

class QAction;
class QToolBar;

namespace verolux::reports {

class Report;
class DesignCanvas;

// The report designer control: edits the template of a bound report object. The window that holds it
// loads and saves through the report object (LoadTemplate / SaveTemplate) and tells the designer with
// ReloadDesign and CommitDesign. See docs/designer.md.
class ReportDesigner : public QWidget {
    Q_OBJECT
  public:
    // Setting 7: edits pending, true while the design differs from the template last loaded or saved.
    // The window sets it to false once it has saved (or before it opens another template).
    static constexpr int kSettingEditsPending = 7;

    explicit ReportDesigner(QWidget* parent = nullptr);
    ~ReportDesigner() override;

    // --- the operations the designer window uses ---
    void BindReport(Report* report);
    // Shows the template now in the report object; forgets the undo steps.
    void ReloadDesign();
    // Writes the design into the report object (its parameter values and records stay). False without one.
    bool CommitDesign();
    // Unknown ids and values of the wrong kind are ignored and return false.
    bool SetSetting(int id, const QVariant& value);
    QVariant Setting(int id) const;

    bool editsPending() const;
    void setEditsPending(bool pending);

    // --- for the designer program and tests ---
    design::DesignDocument& document() { return m_doc; }
    DesignCanvas* canvas() const { return m_canvas; }
    QToolBar* toolBar() const { return m_toolBar; }
    QAction* undoAction() const { return m_undo; }
    QAction* redoAction() const { return m_redo; }

  signals:
    // The designer's own open and save commands (Ctrl+O, Ctrl+S): the window does the file work.
    void OpenRequested();
    void SaveRequested();
    // Edits pending changed (window titles show it).
    void editsPendingChanged(bool pending);

  private:
    QAction* addAction(const QString& text, const QKeySequence& key, const QString& tip);
    void afterEdit();
    void refreshActions();

    design::DesignDocument m_doc;
    QPointer<QObject> m_reportGuard; // clears the binding if the report goes first
    Report* m_report = nullptr;
    DesignCanvas* m_canvas = nullptr;
    QToolBar* m_toolBar = nullptr;
    QAction* m_open = nullptr;
    QAction* m_save = nullptr;
    QAction* m_undo = nullptr;
    QAction* m_redo = nullptr;
    bool m_lastPending = false;
};

} // namespace verolux::reports
