#pragma once

#include "agent/reports/design/DesignDocument.h"
#include "agent/reports/design/References.h"
#include "agent/reports/designer/DesignSubject.h"

#include <QTreeWidget>

#include <vector>

namespace verolux::reports {

// The report's outline: parameters, fields and system values (dragged onto a band they become text
// items referring to them), bands, groups and styles. Picking a node shows it in the inspector; the
// context menu adds, removes and reorders.
class ExplorerTree : public QTreeWidget {
    Q_OBJECT
  public:
    explicit ExplorerTree(design::DesignDocument& doc, QWidget* parent = nullptr);

    // Rebuilds from the document, keeping what was open and picked.
    void refresh();
    void pick(const DesignSubject& subject);
    // Shows the page's selection: those items' nodes selected (their band opened).
    void pickItems(const std::vector<design::ItemRef>& items);
    std::vector<design::ItemRef> pickedItems() const;

  signals:
    void subjectPicked(const DesignSubject& subject);
    // Items picked here: the page selects them.
    void itemsPicked(const std::vector<design::ItemRef>& items);
    // A double click on a text item of a band: edit its content as an expression.
    void expressionRequested(const design::ItemRef& item);
    void edited();

  protected:
    QMimeData* mimeData(const QList<QTreeWidgetItem*>& items) const override;
    QStringList mimeTypes() const override;
    void contextMenuEvent(QContextMenuEvent* event) override;

  private:
    QTreeWidgetItem* section(const QString& title, const QString& key);
    QTreeWidgetItem* node(QTreeWidgetItem* parent, const QString& text, const DesignSubject& subject,
                          const QString& reference = QString());
    void addDeclared(design::DeclaredKind kind);
    void after(bool changed, const DesignSubject& pickAfter);

    design::DesignDocument& m_doc;
    uint64_t m_shown = 0;
};

} // namespace verolux::reports
