#include "agent/reports/format/Aggregator.h"
#include "agent/reports/format/Int128.h"

#include "agent/reports/format/TextUtil.h"

#include <array>
#include <cmath>
#include <utility>

namespace verolux::reports::format {

std::optional<AggregateFunction> ParseAggregateFunction(std::string_view name) {
    static constexpr std::array<std::pair<std::string_view, AggregateFunction>, 5> kNames{{
        {"sum", AggregateFunction::Sum},
        {"count", AggregateFunction::Count},
        {"avg", AggregateFunction::Avg},
        {"min", AggregateFunction::Min},
        {"max", AggregateFunction::Max},
    }};
    for (const auto& [text, function] : kNames)
        if (detail::EqualsIgnoreCase(name, text)) return function;
    return std::nullopt;
}

namespace {
constexpr Int128 kInt64Max = INT64_MAX;
constexpr Int128 kInt64Min = INT64_MIN;

// Rounds n / d half away from zero (d > 0).
Int128 DivideRounded(Int128 n, Int128 d) {
    const Int128 magnitude = n < 0 ? -n : n;
    const Int128 q = (magnitude + d / 2) / d;
    return n < 0 ? -q : q;
}
} // namespace

void Aggregator::add(const TypedValue& value) {
    using Kind = TypedValue::Kind;
    if (value.isEmpty()) return;
    ++m_count;
    if (m_count == 1 || CompareValues(value, m_min) < 0) m_min = value;
    if (m_count == 1 || CompareValues(value, m_max) > 0) m_max = value;
    switch (value.kind) {
    case Kind::Integer:
        m_fixedSum += static_cast<Int128>(value.fixed) * kCurrencyScale;
        break;
    case Kind::Boolean:
        m_fixedSum += value.boolean ? kCurrencyScale : 0;
        break;
    case Kind::Currency:
        m_fixedSum += value.fixed;
        m_anyCurrency = true;
        break;
    case Kind::Decimal: {
        // Neumaier's variant of Kahan summation: keeps the low-order bits large sums lose.
        const double t = m_realSum + value.real;
        if (std::fabs(m_realSum) >= std::fabs(value.real))
            m_realCompensation += (m_realSum - t) + value.real;
        else
            m_realCompensation += (value.real - t) + m_realSum;
        m_realSum = t;
        m_anyDecimal = true;
        break;
    }
    default:
        return;
    }
    ++m_numericCount;
}

void Aggregator::reset() {
    *this = Aggregator{};
}

TypedValue Aggregator::sum() const {
    if (m_numericCount == 0) return {};
    if (m_anyDecimal)
        return TypedValue::ofDecimal(m_realSum + m_realCompensation +
                                     static_cast<double>(m_fixedSum) / static_cast<double>(kCurrencyScale));
    if (m_anyCurrency) {
        if (m_fixedSum > kInt64Max || m_fixedSum < kInt64Min)
            return TypedValue::ofDecimal(static_cast<double>(m_fixedSum) /
                                         static_cast<double>(kCurrencyScale));
        return TypedValue::ofCurrencyUnits(static_cast<std::int64_t>(m_fixedSum));
    }
    const Int128 whole = m_fixedSum / kCurrencyScale;
    if (whole > kInt64Max || whole < kInt64Min) return TypedValue::ofDecimal(static_cast<double>(whole));
    return TypedValue::ofInteger(static_cast<std::int64_t>(whole));
}

TypedValue Aggregator::avg() const {
    if (m_numericCount == 0) return {};
    if (m_anyDecimal) {
        const double total = m_realSum + m_realCompensation +
                             static_cast<double>(m_fixedSum) / static_cast<double>(kCurrencyScale);
        return TypedValue::ofDecimal(total / static_cast<double>(m_numericCount));
    }
    if (m_anyCurrency)
        return TypedValue::ofCurrencyUnits(
            static_cast<std::int64_t>(DivideRounded(m_fixedSum, m_numericCount)));
    return TypedValue::ofDecimal(static_cast<double>(m_fixedSum) / static_cast<double>(kCurrencyScale) /
                                 static_cast<double>(m_numericCount));
}

TypedValue Aggregator::result(AggregateFunction function) const {
    switch (function) {
    case AggregateFunction::Sum:
        return sum();
    case AggregateFunction::Count:
        return TypedValue::ofInteger(m_count);
    case AggregateFunction::Avg:
        return avg();
    case AggregateFunction::Min:
        return min();
    case AggregateFunction::Max:
        return max();
    }
    return {};
}

} // namespace verolux::reports::format
