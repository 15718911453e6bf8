#include "agent/reports/engine/ValueCollection.h"

namespace verolux::reports {

ReportValue& ValueCollection::item(int index) {
    if (index < 1 || index > count()) {
        m_detached = ReportValue();
        return m_detached;
    }
    return m_items[size_t(index - 1)];
}

ReportValue* ValueCollection::byName(std::string_view name) {
    for (auto& it : m_items)
        if (it.name() == name) return &it;
    return nullptr;
}

void ValueCollection::reset(const std::vector<std::string>& names, uint64_t* generation) {
    m_items.clear();
    m_items.reserve(names.size());
    for (const auto& n : names)
        m_items.emplace_back(n, generation);
}

void ValueCollection::clearValues() {
    for (auto& it : m_items)
        it.setValue(ScalarValue::empty());
}

std::vector<ScalarValue> ValueCollection::values() const {
    std::vector<ScalarValue> out;
    out.reserve(m_items.size());
    for (const auto& it : m_items)
        out.push_back(it.Value());
    return out;
}

} // namespace verolux::reports
