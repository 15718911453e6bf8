#pragma once

#include "agent/reports/design/DesignDocument.h"
#include "agent/reports/design/References.h"
#include "agent/reports/designer/DesignSubject.h"

#include <QScrollArea>

#include <functional>
#include <optional>
#include <string>
#include <vector>

class QFormLayout;
class QLabel;

namespace verolux::reports {

// The properties of the subject: of the selected items (values they share can be changed for all at
// once; a style key an item sets for itself shows in bold), of a band, the page, a field or parameter,
// a group or a named style. Every change is one undoable step.
class Inspector : public QScrollArea {
    Q_OBJECT
  public:
    explicit Inspector(design::DesignDocument& doc, QWidget* parent = nullptr);

    const DesignSubject& subject() const { return m_subject; }
    // Builds the editors for another subject (or the same one after a structure change).
    void setSubject(const DesignSubject& subject);
    // Shows the document's values in the editors there are.
    void refresh();

  signals:
    void edited();
    // The subject is gone (deleted from here): the designer shows the report again.
    void subjectGone();
    // Pick an image file for the selected image items.
    void imageRequested();
    // Open the expression editor on the selected text items.
    void expressionRequested();
    // A field got a new name: the designer may guess its type from the sample rows.
    void fieldNamed(int index);

  private:
    // One row: its editor, how to show the document's value, and its label (bold when overridden).
    struct Row {
        std::function<void()> refresh;
    };
    using StyleChange = std::function<void(TextStyle&)>;
    // The styles a set of style-key editors shows and how it changes them (items: overrides; a named
    // style: its own keys).
    struct StyleTarget {
        std::function<std::vector<const TextStyle*>()> styles;
        std::function<bool(const QString& name, const StyleChange& change, uint32_t clear)> change;
    };

    void rebuild();
    std::string shape() const;
    void clearForm();
    void heading(const QString& text);
    QLabel* label(const QString& text);
    void addRow(const QString& text, QWidget* editor, std::function<void()> refresh,
                std::function<bool()> overridden = {});
    void done(bool changed);

    void buildReport();
    void buildItems();
    void buildRules(design::ItemRef item);
    void buildBand(design::BandRef band);
    void buildDeclared(design::DeclaredKind kind, int index);
    void buildGroup(int index);
    void buildStyle(int index);
    void buildStyleKeys(const StyleTarget& target, bool withText, bool forItems);
    void addNumber(const QString& text, double min, double max, int decimals,
                   const std::function<std::optional<double>()>& get, const std::function<bool(double)>& set,
                   std::function<bool()> overridden = {});
    void addFormat(const QString& text, const std::string& type,
                   const std::function<std::optional<std::string>()>& get,
                   const std::function<bool(const std::string&)>& set, std::function<bool()> overridden = {});

    design::DesignDocument& m_doc;
    DesignSubject m_subject;
    std::vector<design::ItemRef> m_items; // the selection the editors were built for
    QWidget* m_form = nullptr;
    QFormLayout* m_layout = nullptr;
    std::vector<Row> m_rows;
    std::string m_shape; // shape() when the form was built
};

} // namespace verolux::reports
