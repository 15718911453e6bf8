#pragma once

#include "agent/reports/engine/ReportValue.h"

#include <string_view>
#include <vector>

namespace verolux::reports {

// `Parameters` and `Fields` of the report object: counted from 1, in template order.
class ValueCollection {
  public:
    int count() const { return static_cast<int>(m_items.size()); }
    // 1-based. Out of range gives a detached item whose writes go nowhere, so a caller's loop can
    // never corrupt the report.
    ReportValue& item(int index);
    // nullptr for an unknown name: values for names the template does not declare are ignored.
    ReportValue* byName(std::string_view name);

    void reset(const std::vector<std::string>& names, uint64_t* generation);
    void clearValues();
    std::vector<ScalarValue> values() const;

  private:
    std::vector<ReportValue> m_items;
    ReportValue m_detached;
};

} // namespace verolux::reports
