#include "agent/reports/engine/ReportValue.h"

namespace verolux::reports {

void ReportValue::setValue(ScalarValue value) {
    if (!m_generation) return; // a detached item: writes are ignored
    m_value = std::move(value);
    ++*m_generation;
}

void ReportValue::setValue(const QString& text) {
    setValue(text.isNull() ? ScalarValue::empty() : ScalarValue::fromText(text.toStdString()));
}

} // namespace verolux::reports
