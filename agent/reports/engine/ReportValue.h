#pragma once

#include "common/ScalarValue.h"

#include <QString>

#include <cstdint>
#include <string>

namespace verolux::reports {

// A named value of the report object: one parameter, or one field of the record being appended.
class ReportValue {
  public:
    ReportValue() = default;
    ReportValue(std::string name, uint64_t* generation) : m_name(std::move(name)), m_generation(generation) {}

    QString Name() const { return QString::fromStdString(m_name); }
    const std::string& name() const { return m_name; }

    const ScalarValue& Value() const { return m_value; }
    void setValue(ScalarValue value);
    // Convenience for callers holding text: the value becomes Text (Empty for a null QString).
    void setValue(const QString& text);

  private:
    std::string m_name;
    ScalarValue m_value;
    uint64_t* m_generation = nullptr; // bumped on writes so the report knows to lay out again
};

} // namespace verolux::reports
