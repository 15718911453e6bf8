#pragma once

#include "agent/reports/design/DesignDocument.h"
#include "agent/reports/design/RowValues.h"
#include "agent/reports/designer/DesignSubject.h"

#include <QPointer>
#include <QVariant>
#include <QWidget>

class QAction;
class QComboBox;
class QSplitter;
class QToolBar;

namespace verolux::reports {

class Report;
class DesignCanvas;
class ExplorerTree;
class Inspector;
class PreviewPane;
class ChecksList;
class ExpressionEditor;

// The report designer control: edits the template of a bound report object. The window that holds it
// loads and saves through the report object (LoadTemplate / SaveTemplate) and tells the designer with
// ReloadDesign and CommitDesign. See docs/designer.md.
class ReportDesigner : public QWidget {
    Q_OBJECT
  public:
    // Setting 7: edits pending, true while the design differs from the template last loaded or saved.
    // The window sets it to false once it has saved (or before it opens another template).
    static constexpr int kSettingEditsPending = 7;
    // MIME type of items on the clipboard (a small template, also offered as plain text).
    static constexpr const char* kItemsMime = "application/x-verolux-report-items";
    // Narrower than this, the designer hides its preview (the page keeps its room); wider, it shows it
    // again unless the user hid it.
    static constexpr int kPreviewMinWidth = 1400;
    // Lower than this, it starts with the checks hidden; they take this many pixels otherwise.
    static constexpr int kChecksMinHeight = 560;
    static constexpr int kChecksHeight = 90;

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

    // --- design-time settings: which panels show ---
    void setToolbarVisible(bool on);
    void setExplorerVisible(bool on);
    void setInspectorVisible(bool on);
    void setPreviewVisible(bool on);
    void setChecksVisible(bool on);

    // Fills the live preview with the parameters and rows of a print request file instead of made-up rows.
    bool loadPreviewData(const QString& path, QString* error);

    // --- commands (toolbar, keys, menus of a program around it) ---
    void undo();
    void redo();
    void cut();
    void copy();
    void paste();
    void duplicate();
    void deleteSelection();
    void selectAll();
    void select(const std::vector<design::ItemRef>& items);
    // Asks for a PNG or JPEG file and places it; with `path` given, uses that file.
    void insertImage(const QString& path = QString());
    // Opens the expression editor on the selected text items' content (Ctrl+E, the inspector's ƒx);
    // its OK is one undoable step.
    void openExpressionEditor();
    // The first row and the parameters of the preview (the request's, else made up), and one field's
    // values over the preview's rows: what expressions and rules are shown on, and type guesses.
    design::SampleRow sampleRow();
    std::vector<ScalarValue> sampleColumn(const std::string& field);

    // --- for the designer program and tests ---
    design::DesignDocument& document() { return m_doc; }
    DesignCanvas* canvas() const { return m_canvas; }
    ExplorerTree* explorer() const { return m_explorer; }
    Inspector* inspector() const { return m_inspector; }
    PreviewPane* preview() const { return m_preview; }
    ChecksList* checks() const { return m_checks; }
    ExpressionEditor* expressionEditor() const; // the open one, else nullptr
    QToolBar* toolBar() const { return m_toolBar; }
    QAction* undoAction() const { return m_undo; }
    QAction* redoAction() const { return m_redo; }

  signals:
    // The designer's own open and save commands (Ctrl+O, Ctrl+S): the window does the file work.
    void OpenRequested();
    void SaveRequested();
    // Edits pending changed (window titles show it).
    void editsPendingChanged(bool pending);
    // A change was made (or undone): for hosts that show more than the title.
    void designChanged();

  protected:
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    QAction* addAction(const QString& text, int icon, const QKeySequence& key = {});
    void buildToolBar();
    void afterEdit();
    void afterSelection();
    void showSubject(const DesignSubject& subject);
    void refreshActions();
    void placeItem(ItemKind kind);
    void replaceImages(const QString& path);
    std::string readImage(const QString& path);

    design::DesignDocument m_doc;
    QPointer<QObject> m_reportGuard; // clears the binding if the report goes first
    Report* m_report = nullptr;
    DesignCanvas* m_canvas = nullptr;
    ExplorerTree* m_explorer = nullptr;
    Inspector* m_inspector = nullptr;
    PreviewPane* m_preview = nullptr;
    ChecksList* m_checks = nullptr;
    QPointer<ExpressionEditor> m_expressionEditor;
    QSplitter* m_split = nullptr;
    QSplitter* m_centre = nullptr;
    QToolBar* m_toolBar = nullptr;
    QComboBox* m_zoom = nullptr;
    QAction* m_open = nullptr;
    QAction* m_save = nullptr;
    QAction* m_undo = nullptr;
    QAction* m_redo = nullptr;
    QList<QAction*> m_needSelection, m_needTwo, m_needThree;
    QList<QAction*> m_tools;
    QList<QAction*> m_itemMenu; // the canvas's right-click menu; nullptr for a separator
    QAction* m_previewToggle = nullptr;
    QAction* m_explorerToggle = nullptr;
    QAction* m_inspectorToggle = nullptr;
    QAction* m_checksToggle = nullptr;
    bool m_lastPending = false;
    bool m_shownOnce = false;
    bool m_previewCollapsed = false; // hidden for want of room, not by the user
};

} // namespace verolux::reports
