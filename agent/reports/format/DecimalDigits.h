#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace verolux::reports::format::detail {

// An exact decimal number: digits × 10^exponent. Display formats round on these digits, so a
// value prints as it was written, not as its binary double approximation.
struct DecimalDigits {
    bool negative = false;
    std::string digits; // no leading zeros; empty for zero
    int exponent = 0;

    bool isZero() const { return digits.empty(); }
};

// A number rounded half away from zero to a fixed count of decimals.
struct FixedDigits {
    bool negative = false;    // never set for zero
    std::string integerPart;  // no leading zeros; "0" for zero
    std::string fractionPart; // exactly the requested count of digits

    bool isZero() const;
};

// Strict decimal text: [+-] digits [. digits] [e [+-] digits]; commas allowed between digits
// of the integer part. Exponents beyond ±400 are refused.
std::optional<DecimalDigits> ParseDecimal(std::string_view text);
// Number text as people type it: blanks trimmed, a sign, then optionally one of ¥ ￥ $ €
// (a sign may also follow the symbol), then ParseDecimal's syntax.
std::optional<DecimalDigits> ParseNumberDigits(std::string_view text);
// Fast path of ParseNumberDigits + ToScaledInt64 for the common plain form "[+-]1,234.56"
// (no blanks, symbols or exponent): the same result, or nullopt to take the general path.
std::optional<std::int64_t> ParsePlainScaled(std::string_view text, int scaleDigits);
DecimalDigits DecimalFromScaled(std::int64_t value, int scaleDigits);
// Shortest digits that read back as the same double; non-finite gives zero.
DecimalDigits DecimalFromDouble(double value);
// Limits a double's noise: keeps at most `significant` significant digits.
DecimalDigits RoundSignificant(const DecimalDigits& value, int significant);

FixedDigits RoundToDecimals(const DecimalDigits& value, int decimals);
// value × 10^scaleDigits rounded half away from zero, if it fits an int64.
std::optional<std::int64_t> ToScaledInt64(const DecimalDigits& value, int scaleDigits);
// Nearest double; nullopt when out of range.
std::optional<double> ToDouble(const DecimalDigits& value);
// Plain text without exponent and without trailing fraction zeros: "-1234.5", "0".
std::string ToPlainText(const DecimalDigits& value);

} // namespace verolux::reports::format::detail
