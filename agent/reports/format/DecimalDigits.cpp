#include "agent/reports/format/DecimalDigits.h"
#include "agent/reports/format/Int128.h"

#include "agent/reports/format/TextUtil.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdlib>

namespace verolux::reports::format::detail {

namespace {
constexpr int kMaxExponent = 400;

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

void Normalize(DecimalDigits& d) {
    const auto first = d.digits.find_first_not_of('0');
    if (first == std::string::npos) {
        d.digits.clear();
        d.exponent = 0;
        d.negative = false;
        return;
    }
    d.digits.erase(0, first);
    const auto last = d.digits.find_last_not_of('0');
    d.exponent += static_cast<int>(d.digits.size() - 1 - last);
    d.digits.erase(last + 1);
}

// Adds one to a string of decimal digits.
void Increment(std::string& digits) {
    for (auto it = digits.rbegin(); it != digits.rend(); ++it) {
        if (*it != '9') {
            ++*it;
            return;
        }
        *it = '0';
    }
    digits.insert(digits.begin(), '1');
}
} // namespace

bool FixedDigits::isZero() const {
    return integerPart == "0" && fractionPart.find_first_not_of('0') == std::string::npos;
}

std::optional<DecimalDigits> ParseDecimal(std::string_view s) {
    DecimalDigits d;
    size_t i = 0;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) d.negative = s[i++] == '-';
    bool anyDigit = false;
    bool lastWasDigit = false;
    while (i < s.size()) {
        if (IsDigit(s[i])) {
            d.digits.push_back(s[i]);
            anyDigit = lastWasDigit = true;
        } else if (s[i] == ',' && lastWasDigit && i + 1 < s.size() && IsDigit(s[i + 1])) {
            lastWasDigit = false;
        } else {
            break;
        }
        ++i;
    }
    int fractionDigits = 0;
    if (i < s.size() && s[i] == '.') {
        ++i;
        while (i < s.size() && IsDigit(s[i])) {
            d.digits.push_back(s[i++]);
            ++fractionDigits;
            anyDigit = true;
        }
    }
    if (!anyDigit) return std::nullopt;
    long long exponent = 0;
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
        ++i;
        bool negativeExponent = false;
        if (i < s.size() && (s[i] == '+' || s[i] == '-')) negativeExponent = s[i++] == '-';
        if (i >= s.size() || !IsDigit(s[i])) return std::nullopt;
        while (i < s.size() && IsDigit(s[i])) {
            exponent = exponent * 10 + (s[i++] - '0');
            if (exponent > 100000) return std::nullopt;
        }
        if (negativeExponent) exponent = -exponent;
    }
    if (i != s.size()) return std::nullopt;
    d.exponent = static_cast<int>(exponent) - fractionDigits;
    Normalize(d);
    if (!d.isZero()) {
        const long long magnitude = static_cast<long long>(d.digits.size()) + d.exponent;
        if (magnitude > kMaxExponent || magnitude < -kMaxExponent) return std::nullopt;
    }
    return d;
}

std::optional<DecimalDigits> ParseNumberDigits(std::string_view text) {
    std::string_view s = Trim(text);
    std::string normalized;
    if (!s.empty() && (s.front() == '+' || s.front() == '-')) {
        normalized.push_back(s.front());
        s.remove_prefix(1);
    }
    static constexpr std::array<std::string_view, 4> kSymbols{"\xC2\xA5", "\xEF\xBF\xA5", "$",
                                                              "\xE2\x82\xAC"};
    for (std::string_view symbol : kSymbols) {
        if (s.starts_with(symbol)) {
            s.remove_prefix(symbol.size());
            if (normalized.empty() && !s.empty() && (s.front() == '+' || s.front() == '-')) {
                normalized.push_back(s.front());
                s.remove_prefix(1);
            }
            break;
        }
    }
    normalized.append(s);
    return ParseDecimal(normalized);
}

std::optional<std::int64_t> ParsePlainScaled(std::string_view s, int scaleDigits) {
    constexpr std::uint64_t kLimit = (UINT64_MAX - 9) / 10;
    size_t i = 0;
    bool negative = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
    std::uint64_t value = 0;
    bool anyDigit = false;
    bool lastWasDigit = false;
    for (; i < s.size(); ++i) {
        if (IsDigit(s[i])) {
            if (value > kLimit) return std::nullopt;
            value = value * 10 + static_cast<unsigned>(s[i] - '0');
            anyDigit = lastWasDigit = true;
        } else if (s[i] == ',' && lastWasDigit && i + 1 < s.size() && IsDigit(s[i + 1])) {
            lastWasDigit = false;
        } else {
            break;
        }
    }
    int decimals = 0;
    bool roundUp = false;
    if (i < s.size() && s[i] == '.') {
        for (++i; i < s.size() && IsDigit(s[i]); ++i) {
            anyDigit = true;
            if (decimals < scaleDigits) {
                if (value > kLimit) return std::nullopt;
                value = value * 10 + static_cast<unsigned>(s[i] - '0');
                ++decimals;
            } else if (decimals == scaleDigits) {
                // Half away from zero: only the first dropped digit decides.
                roundUp = s[i] >= '5';
                ++decimals;
            }
        }
    }
    if (!anyDigit || i != s.size()) return std::nullopt;
    for (; decimals < scaleDigits; ++decimals) {
        if (value > kLimit) return std::nullopt;
        value *= 10;
    }
    if (roundUp) ++value;
    if (value > static_cast<std::uint64_t>(INT64_MAX))
        return std::nullopt; // INT64_MIN and overflow: the general path decides
    return negative ? -static_cast<std::int64_t>(value) : static_cast<std::int64_t>(value);
}

DecimalDigits DecimalFromScaled(std::int64_t value, int scaleDigits) {
    DecimalDigits d;
    d.negative = value < 0;
    // Via unsigned so INT64_MIN has a magnitude.
    std::uint64_t magnitude =
        d.negative ? 0 - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
    d.digits = std::to_string(magnitude);
    d.exponent = -scaleDigits;
    Normalize(d);
    return d;
}

DecimalDigits DecimalFromDouble(double value) {
    if (!std::isfinite(value) || value == 0) return {};
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::scientific);
    return ParseDecimal(std::string_view(buffer, static_cast<size_t>(result.ptr - buffer)))
        .value_or(DecimalDigits{});
}

DecimalDigits RoundSignificant(const DecimalDigits& value, int significant) {
    if (value.isZero() || static_cast<int>(value.digits.size()) <= significant) return value;
    DecimalDigits d = value;
    const bool up = d.digits[static_cast<size_t>(significant)] >= '5';
    d.exponent += static_cast<int>(d.digits.size()) - significant;
    d.digits.resize(static_cast<size_t>(significant));
    if (up) Increment(d.digits);
    Normalize(d);
    d.negative = value.negative;
    return d;
}

FixedDigits RoundToDecimals(const DecimalDigits& value, int decimals) {
    FixedDigits out;
    decimals = std::clamp(decimals, 0, 2 * kMaxExponent);
    // Units of 10^-decimals: keep the digits down to that place, then round on the next one.
    std::string units;
    if (!value.isZero()) {
        const long long keep = static_cast<long long>(value.digits.size()) + value.exponent + decimals;
        if (keep >= static_cast<long long>(value.digits.size())) {
            units = value.digits;
            units.append(static_cast<size_t>(keep - static_cast<long long>(value.digits.size())), '0');
        } else if (keep >= 0) {
            units = value.digits.substr(0, static_cast<size_t>(keep));
            if (value.digits[static_cast<size_t>(keep)] >= '5') Increment(units);
        }
    }
    const auto first = units.find_first_not_of('0');
    units = first == std::string::npos ? std::string() : units.substr(first);
    if (units.size() <= static_cast<size_t>(decimals))
        units.insert(0, static_cast<size_t>(decimals) + 1 - units.size(), '0');
    out.integerPart = units.substr(0, units.size() - static_cast<size_t>(decimals));
    out.fractionPart = units.substr(units.size() - static_cast<size_t>(decimals));
    out.negative = value.negative && !out.isZero();
    return out;
}

std::optional<std::int64_t> ToScaledInt64(const DecimalDigits& value, int scaleDigits) {
    const FixedDigits fixed = RoundToDecimals(value, scaleDigits);
    const std::string all = fixed.integerPart + fixed.fractionPart;
    if (all.size() > 20) return std::nullopt;
    UInt128 magnitude = 0;
    for (char c : all)
        magnitude = magnitude * 10 + static_cast<unsigned>(c - '0');
    const UInt128 limit = fixed.negative ? static_cast<UInt128>(INT64_MAX) + 1 : INT64_MAX;
    if (magnitude > limit) return std::nullopt;
    if (fixed.negative) return static_cast<std::int64_t>(0 - static_cast<std::uint64_t>(magnitude));
    return static_cast<std::int64_t>(magnitude);
}

std::optional<double> ToDouble(const DecimalDigits& value) {
    if (value.isZero()) return 0.0;
    std::string text = (value.negative ? "-" : "") + value.digits + "e" + std::to_string(value.exponent);
    double out = 0;
    const auto result = std::from_chars(text.data(), text.data() + text.size(), out);
    if (result.ec != std::errc() || !std::isfinite(out)) return std::nullopt;
    return out;
}

std::string ToPlainText(const DecimalDigits& value) {
    if (value.isZero()) return "0";
    const int decimals = value.exponent < 0 ? -value.exponent : 0;
    const FixedDigits fixed = RoundToDecimals(value, decimals);
    std::string out = fixed.negative ? "-" : "";
    out += fixed.integerPart;
    if (!fixed.fractionPart.empty()) out += "." + fixed.fractionPart;
    return out;
}

} // namespace verolux::reports::format::detail
