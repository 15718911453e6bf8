#include "agent/reports/format/Decimal.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>

namespace verolux::reports::format {

namespace {

// 10^n for n in 0..38 (10^38 still fits a signed 128-bit integer).
std::optional<Int128> Pow10(int n) {
    if (n < 0 || n > 38) return std::nullopt;
    Int128 p = 1;
    for (int i = 0; i < n; ++i)
        p *= 10;
    return p;
}

std::optional<Int128> Mul(Int128 a, Int128 b) {
    Int128 r;
    if (__builtin_mul_overflow(a, b, &r)) return std::nullopt;
    return r;
}

// a / b rounded half away from zero; b != 0.
Int128 DivRound(Int128 a, Int128 b) {
    if (a >= INT64_MIN && a <= INT64_MAX && b >= INT64_MIN && b <= INT64_MAX && b != -1) {
        const auto a64 = static_cast<std::int64_t>(a), b64 = static_cast<std::int64_t>(b);
        std::int64_t q = a64 / b64;
        const std::int64_t r = a64 % b64;
        const std::uint64_t ar = r < 0 ? 0 - std::uint64_t(r) : std::uint64_t(r);
        const std::uint64_t ab = b64 < 0 ? 0 - std::uint64_t(b64) : std::uint64_t(b64);
        if (ar >= ab - ar) q += ((a64 < 0) != (b64 < 0)) ? -1 : 1;
        return q;
    }
    Int128 q = a / b, r = a % b;
    UInt128 ar = r < 0 ? UInt128(-r) : UInt128(r), ab = b < 0 ? UInt128(-b) : UInt128(b);
    if (ar >= ab - ar) q += ((a < 0) != (b < 0)) ? -1 : 1;
    return q;
}

// Both at the larger scale; nullopt if that overflows.
std::optional<std::pair<Int128, Int128>> Align(Int128 a, int sa, Int128 b, int sb) {
    if (sa < sb) {
        auto m = Mul(a, *Pow10(sb - sa));
        if (!m) return std::nullopt;
        return std::pair{*m, b};
    }
    auto m = Mul(b, *Pow10(sa - sb));
    if (!m) return std::nullopt;
    return std::pair{a, *m};
}

} // namespace

Decimal Decimal::fromScaled(Int128 coefficient, int scale) {
    return Decimal(coefficient, scale).normalized();
}

Decimal Decimal::normalized() const {
    Decimal d = *this;
    if (d.m_scale == 0) return d;
    if (d.m_coef >= INT64_MIN && d.m_coef <= INT64_MAX) { // the usual case: 64-bit division is far cheaper
        auto c = static_cast<std::int64_t>(d.m_coef);
        while (d.m_scale > 0 && c % 10 == 0) {
            c /= 10;
            --d.m_scale;
        }
        d.m_coef = c;
    }
    while (d.m_scale > 0 && d.m_coef % 10 == 0) {
        d.m_coef /= 10;
        --d.m_scale;
    }
    if (d.m_coef == 0) d.m_scale = 0;
    return d;
}

std::optional<Decimal> Decimal::fromDigits(const detail::DecimalDigits& value) {
    if (value.isZero()) return Decimal();
    int scale = -value.exponent;
    std::string_view digits = value.digits;
    Int128 coef = 0;
    if (scale > kMaxScale) {
        const detail::FixedDigits f = detail::RoundToDecimals(value, kMaxScale);
        for (char c : f.integerPart + f.fractionPart) {
            auto m = Mul(coef, 10);
            if (!m) return std::nullopt;
            coef = *m + (c - '0');
        }
        return Decimal(f.negative ? -coef : coef, kMaxScale).normalized();
    }
    for (char c : digits) {
        auto m = Mul(coef, 10);
        if (!m) return std::nullopt;
        coef = *m + (c - '0');
    }
    if (scale < 0) {
        auto p = Pow10(-scale);
        if (!p) return std::nullopt;
        auto m = Mul(coef, *p);
        if (!m) return std::nullopt;
        coef = *m;
        scale = 0;
    }
    return Decimal(value.negative ? -coef : coef, scale).normalized();
}

std::optional<Decimal> Decimal::parse(std::string_view text) {
    const auto digits = detail::ParseNumberDigits(text);
    if (!digits) return std::nullopt;
    return fromDigits(*digits);
}

std::optional<Decimal> Decimal::add(const Decimal& b) const {
    auto al = Align(m_coef, m_scale, b.m_coef, b.m_scale);
    if (!al) return std::nullopt;
    Int128 r;
    if (__builtin_add_overflow(al->first, al->second, &r)) return std::nullopt;
    return Decimal(r, std::max(m_scale, b.m_scale)).normalized();
}

std::optional<Decimal> Decimal::subtract(const Decimal& b) const {
    return add(b.negated());
}

std::optional<Decimal> Decimal::multiply(const Decimal& b) const {
    auto m = Mul(m_coef, b.m_coef);
    if (!m) return std::nullopt;
    int scale = m_scale + b.m_scale;
    Int128 coef = *m;
    if (scale > kMaxScale) {
        coef = DivRound(coef, *Pow10(scale - kMaxScale));
        scale = kMaxScale;
    }
    return Decimal(coef, scale).normalized();
}

std::optional<Decimal> Decimal::divide(const Decimal& b) const {
    if (b.m_coef == 0) return std::nullopt;
    // q = a / b at kDivisionScale: a.coef × 10^(S - a.scale + b.scale) / b.coef.
    const int shift = kDivisionScale - m_scale + b.m_scale;
    if (shift >= 0) {
        auto num = Mul(m_coef, *Pow10(shift));
        if (!num) return std::nullopt;
        return Decimal(DivRound(*num, b.m_coef), kDivisionScale).normalized();
    }
    auto den = Mul(b.m_coef, *Pow10(-shift));
    if (!den) return std::nullopt;
    return Decimal(DivRound(m_coef, *den), kDivisionScale).normalized();
}

std::optional<Decimal> Decimal::remainder(const Decimal& b) const {
    if (b.m_coef == 0) return std::nullopt;
    auto al = Align(m_coef, m_scale, b.m_coef, b.m_scale);
    if (!al) return std::nullopt;
    return Decimal(al->first % al->second, std::max(m_scale, b.m_scale)).normalized();
}

std::optional<Decimal> Decimal::round(int decimals) const {
    if (decimals >= m_scale) return *this;
    const int drop = m_scale - decimals;
    auto p = Pow10(drop);
    if (!p) return Decimal();
    Int128 coef = DivRound(m_coef, *p);
    if (decimals >= 0) return Decimal(coef, decimals).normalized();
    auto back = Pow10(-decimals);
    auto m = back ? Mul(coef, *back) : std::nullopt;
    if (!m) return std::nullopt;
    return Decimal(*m, 0).normalized();
}

std::optional<std::int64_t> Decimal::toScaled(int scale) const {
    if (scale < m_scale) return std::nullopt;
    auto m = Mul(m_coef, *Pow10(scale - m_scale));
    if (!m || *m > INT64_MAX || *m < INT64_MIN) return std::nullopt;
    return static_cast<std::int64_t>(*m);
}

detail::DecimalDigits Decimal::digits() const {
    detail::DecimalDigits d;
    if (m_coef == 0) return d;
    d.negative = m_coef < 0;
    UInt128 v = d.negative ? UInt128(-(m_coef + 1)) + 1 : UInt128(m_coef);
    while (v > 0) {
        d.digits.push_back(char('0' + int(v % 10)));
        v /= 10;
    }
    std::reverse(d.digits.begin(), d.digits.end());
    d.exponent = -m_scale;
    // No trailing zeros: the value is normalized whenever it is built.
    while (!d.digits.empty() && d.digits.back() == '0') {
        d.digits.pop_back();
        ++d.exponent;
    }
    return d;
}

double Decimal::toDouble() const {
    return detail::ToDouble(digits()).value_or(0);
}

std::string Decimal::toString() const {
    return detail::ToPlainText(digits());
}

int Compare(const Decimal& a, const Decimal& b) {
    auto al = Align(a.m_coef, a.m_scale, b.m_coef, b.m_scale);
    if (!al) { // one side is far larger than the other: the larger scale overflowed
        if (a.m_coef == 0 || b.m_coef == 0 || (a.m_coef < 0) != (b.m_coef < 0))
            return a.m_coef < b.m_coef ? -1 : a.m_coef > b.m_coef ? 1 : 0;
        const bool aBigger = a.m_scale < b.m_scale; // a's magnitude overflowed when scaled up
        return (aBigger != (a.m_coef < 0)) ? 1 : -1;
    }
    return al->first < al->second ? -1 : al->first > al->second ? 1 : 0;
}

} // namespace verolux::reports::format
