#pragma once

#include "agent/reports/design/RowValues.h"
#include "agent/reports/model/Template.h"

#include <QDialog>

class QComboBox;
class QLabel;
class QPlainTextEdit;
class QTreeWidget;
class QTreeWidgetItem;

namespace verolux::reports {

// Edits a text item's content with its references: the data (fields with their types, parameters,
// system values, functions) to insert at the cursor with a double click, an aggregate picker, the check
// of what is typed with the character where it fails, and the text as the first sample row fills it.
class ExpressionEditor : public QDialog {
    Q_OBJECT
  public:
    ExpressionEditor(const Template& tmpl, design::SampleRow row, const QString& text,
                     QWidget* parent = nullptr);

    QString text() const;
    // What the check says now: "" when nothing is wrong.
    QString problem() const;
    // Inserts at the cursor, braced outside a reference ("quantity", "sum(amount, group)").
    void insertReference(const QString& reference);

  private:
    void fillTree();
    void check();
    void insertAggregate();

    const Template& m_t;
    design::SampleRow m_row;
    QTreeWidget* m_tree = nullptr;
    QPlainTextEdit* m_edit = nullptr;
    QLabel* m_status = nullptr;
    QLabel* m_value = nullptr;
    QComboBox* m_function = nullptr;
    QComboBox* m_field = nullptr;
    QComboBox* m_scope = nullptr;
    QString m_problem;
};

} // namespace verolux::reports
