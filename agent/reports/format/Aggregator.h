#pragma once

#include "agent/reports/format/Int128.h"
#include "agent/reports/format/TypedValue.h"

#include <cstdint>
#include <optional>
#include <string_view>

namespace verolux::reports::format {

enum class AggregateFunction { Sum, Count, Avg, Min, Max };

// "sum", "count", "avg", "min", "max" (ASCII case-insensitive).
std::optional<AggregateFunction> ParseAggregateFunction(std::string_view name);

// Running sum/count/avg/min/max over one scope (group, page, report). Empty values are
// skipped and not counted. Integer and currency sums are exact (128-bit accumulator);
// decimal sums use compensated summation.
class Aggregator {
  public:
    void add(const TypedValue& value);
    void reset();

    // Non-empty values added.
    std::int64_t count() const { return m_count; }
    // Integer sum → Integer; with any Currency → Currency; with any Decimal → Decimal.
    // Booleans count as 1/0. Texts and date-times do not add. Nothing added → empty.
    TypedValue sum() const;
    // Currency average stays Currency (rounded half away from zero to 1/10^4); Integer and
    // Decimal averages are Decimal. Nothing numeric added → empty.
    TypedValue avg() const;
    // By CompareValues, over all non-empty values. Nothing added → empty.
    TypedValue min() const { return m_min; }
    TypedValue max() const { return m_max; }
    // count() as an Integer value for AggregateFunction::Count.
    TypedValue result(AggregateFunction function) const;

  private:
    std::int64_t m_count = 0;
    std::int64_t m_numericCount = 0;
    Int128 m_fixedSum = 0; // Integer/Boolean/Currency in kCurrencyScale units
    double m_realSum = 0;  // Decimal, Neumaier-compensated
    double m_realCompensation = 0;
    bool m_anyCurrency = false;
    bool m_anyDecimal = false;
    TypedValue m_min;
    TypedValue m_max;
};

} // namespace verolux::reports::format
