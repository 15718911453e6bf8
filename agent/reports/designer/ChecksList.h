#pragma once

#include "agent/reports/design/DesignChecks.h"
#include "agent/reports/design/DesignDocument.h"

#include <QListWidget>

namespace verolux::reports {

// What in the design will not print as meant (items outside their band or the page, names not
// declared, expressions that cannot be read, sums over text fields, overlapping text, a detail band
// taller than the page). Clicking a line selects its item; a text field computed with has a button
// that makes it a number.
class ChecksList : public QListWidget {
    Q_OBJECT
  public:
    explicit ChecksList(design::DesignDocument& doc, QWidget* parent = nullptr);
    void refresh();
    int problemCount() const { return static_cast<int>(m_problems.size()); }

  signals:
    void itemPicked(const design::ItemRef& item);
    void bandPicked(const design::BandRef& band);
    // The "改为数字" button of a line: make the field a number (queued: the list is rebuilt by it).
    void makeNumberRequested(const QString& field);

  private:
    design::DesignDocument& m_doc;
    std::vector<design::DesignProblem> m_problems;
    uint64_t m_shown = 0;
};

} // namespace verolux::reports
