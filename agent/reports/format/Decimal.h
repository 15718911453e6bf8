#pragma once

#include "agent/reports/format/DecimalDigits.h"
#include "agent/reports/format/Int128.h"

#include <optional>
#include <string>

namespace verolux::reports::format {

// An exact decimal number for template expressions: coefficient × 10^-scale. Sums, differences and
// products are exact (0.1 + 0.2 is 0.3); a product keeps at most kMaxScale decimals and a quotient
// kDivisionScale, both rounded half away from zero, as display formats round. Operations that would
// leave the range (about ±1.7 × 10^38 / 10^scale) give nullopt rather than wrap.
class Decimal {
  public:
    static constexpr int kMaxScale = 18;
    static constexpr int kDivisionScale = 10;

    Decimal() = default;
    static Decimal fromInteger(std::int64_t v) { return Decimal(v, 0); }
    static Decimal fromScaled(Int128 coefficient, int scale); // scale 0..kMaxScale
    // Exact digits; more decimals than kMaxScale are rounded; nullopt when out of range.
    static std::optional<Decimal> fromDigits(const detail::DecimalDigits& digits);
    // Number text as the value conversions read it ("1,234.50", "¥12").
    static std::optional<Decimal> parse(std::string_view text);

    Int128 coefficient() const { return m_coef; }
    int scale() const { return m_scale; }
    bool isZero() const { return m_coef == 0; }
    bool negative() const { return m_coef < 0; }

    std::optional<Decimal> add(const Decimal& b) const;
    std::optional<Decimal> subtract(const Decimal& b) const;
    std::optional<Decimal> multiply(const Decimal& b) const;
    // nullopt for a zero divisor too.
    std::optional<Decimal> divide(const Decimal& b) const;
    // Remainder of truncated division, sign of the dividend (as C and JavaScript take it).
    std::optional<Decimal> remainder(const Decimal& b) const;
    Decimal negated() const { return Decimal(-m_coef, m_scale); }
    Decimal abs() const { return m_coef < 0 ? negated() : *this; }
    // Rounded half away from zero to `decimals` places (negative: tens, hundreds, ...).
    std::optional<Decimal> round(int decimals) const;

    // The value in ten-thousandths or as a whole number, when exact and within 64 bits.
    std::optional<std::int64_t> toScaled(int scale) const;
    double toDouble() const;
    detail::DecimalDigits digits() const;
    std::string toString() const; // "-1234.5", "0"

    friend int Compare(const Decimal& a, const Decimal& b);
    friend bool operator==(const Decimal& a, const Decimal& b) { return Compare(a, b) == 0; }

  private:
    Decimal(Int128 coef, int scale) : m_coef(coef), m_scale(scale) {}
    Decimal normalized() const;

    Int128 m_coef = 0;
    int m_scale = 0;
};

} // namespace verolux::reports::format
