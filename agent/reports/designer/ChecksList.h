#pragma once

#include "agent/reports/design/DesignChecks.h"
#include "agent/reports/design/DesignDocument.h"

#include <QListWidget>

namespace verolux::reports {

// What in the design will not print as meant (items outside their band or the page, names not
// declared, overlapping text, a detail band taller than the page). Clicking a line selects its item.
class ChecksList : public QListWidget {
    Q_OBJECT
  public:
    explicit ChecksList(design::DesignDocument& doc, QWidget* parent = nullptr);
    void refresh();
    int problemCount() const { return static_cast<int>(m_problems.size()); }

  signals:
    void itemPicked(const design::ItemRef& item);
    void bandPicked(const design::BandRef& band);

  private:
    design::DesignDocument& m_doc;
    std::vector<design::DesignProblem> m_problems;
    uint64_t m_shown = 0;
};

} // namespace verolux::reports
