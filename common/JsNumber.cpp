#include "common/JsNumber.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <system_error>

namespace verolux {
namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// Integer tokens longer than this, or equal in length and greater, are beyond 2^53.
constexpr std::string_view kTwoPow53 = "9007199254740992";

bool IntegerBeyondTwoPow53(std::string_view digits) {
    if (digits.size() != kTwoPow53.size()) return digits.size() > kTwoPow53.size();
    return digits > kTwoPow53;
}

// Tokens without exponent and with at most 15 significant digits name distinct doubles, so the
// script's shortest digits are the written ones without trailing fraction zeros. Returns false when
// the token needs the general path (exponent, more digits, or below 1e-6 where a script switches to
// exponent form).
bool PlainTokenText(std::string_view token, std::string& out) {
    if (token.find_first_of("eE") != std::string_view::npos) return false;
    const bool negative = token[0] == '-';
    std::string_view t = negative ? token.substr(1) : token;
    std::size_t dot = t.find('.');
    std::string_view intPart = t.substr(0, dot);
    std::string_view frac = dot == std::string_view::npos ? std::string_view() : t.substr(dot + 1);
    while (!frac.empty() && frac.back() == '0')
        frac.remove_suffix(1);
    std::size_t significant = 0;
    if (intPart != "0") {
        significant = intPart.size() + frac.size();
    } else {
        std::size_t zeros = 0;
        while (zeros < frac.size() && frac[zeros] == '0')
            ++zeros;
        if (zeros == frac.size()) { // the value is zero, -0 included
            out = "0";
            return true;
        }
        if (zeros >= 6) return false;
        significant = frac.size() - zeros;
    }
    if (significant > 15) return false;
    out.clear();
    out.reserve(token.size());
    if (negative) out += '-';
    out.append(intPart);
    if (!frac.empty()) {
        out += '.';
        out.append(frac);
    }
    return true;
}

} // namespace

std::string JsNumberText(double value) {
    if (std::isnan(value)) return "NaN";
    if (std::isinf(value)) return value < 0 ? "-Infinity" : "Infinity";
    if (value == 0) return "0"; // -0 too
    std::string out;
    if (value < 0) {
        out = "-";
        value = -value;
    }

    // Shortest round-trip digits in the form d.ddde±x.
    char buf[64];
    auto res = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::scientific);
    std::string_view sci(buf, static_cast<std::size_t>(res.ptr - buf));
    std::size_t ePos = sci.find('e');
    std::string digits;
    digits.reserve(20);
    for (char c : sci.substr(0, ePos))
        if (c != '.') digits.push_back(c);
    int exponent = 0;
    std::from_chars(sci.data() + ePos + (sci[ePos + 1] == '+' ? 2 : 1), sci.data() + sci.size(), exponent);

    // value = 0.digits × 10^n, k digits.
    const int k = static_cast<int>(digits.size());
    const int n = exponent + 1;
    if (k <= n && n <= 21) {
        out += digits;
        out.append(static_cast<std::size_t>(n - k), '0');
    } else if (0 < n && n <= 21) {
        out += digits.substr(0, static_cast<std::size_t>(n));
        out += '.';
        out += digits.substr(static_cast<std::size_t>(n));
    } else if (-6 < n && n <= 0) {
        out += "0.";
        out.append(static_cast<std::size_t>(-n), '0');
        out += digits;
    } else {
        out += digits[0];
        if (k > 1) {
            out += '.';
            out += digits.substr(1);
        }
        out += 'e';
        out += (n - 1 >= 0) ? '+' : '-';
        out += std::to_string(std::abs(n - 1));
    }
    return out;
}

bool IsJsonNumberToken(std::string_view t) {
    std::size_t i = 0;
    if (i < t.size() && t[i] == '-') ++i;
    if (i >= t.size()) return false;
    if (t[i] == '0')
        ++i;
    else if (IsDigit(t[i]) && t[i] != '0')
        while (i < t.size() && IsDigit(t[i]))
            ++i;
    else
        return false;
    if (i < t.size() && t[i] == '.') {
        ++i;
        if (i >= t.size() || !IsDigit(t[i])) return false;
        while (i < t.size() && IsDigit(t[i]))
            ++i;
    }
    if (i < t.size() && (t[i] == 'e' || t[i] == 'E')) {
        ++i;
        if (i < t.size() && (t[i] == '+' || t[i] == '-')) ++i;
        if (i >= t.size() || !IsDigit(t[i])) return false;
        while (i < t.size() && IsDigit(t[i]))
            ++i;
    }
    return i == t.size();
}

std::string JsonNumberTokenText(std::string_view token) {
    const bool negative = !token.empty() && token[0] == '-';
    std::string_view magnitude = negative ? token.substr(1) : token;
    if (magnitude.find_first_of(".eE") == std::string_view::npos && IntegerBeyondTwoPow53(magnitude))
        return std::string(token);
    if (std::string plain; PlainTokenText(token, plain)) return plain;

    double value = 0;
    auto res = std::from_chars(token.data(), token.data() + token.size(), value);
    if (res.ec == std::errc::result_out_of_range) {
        // Beyond the double range: a script gets ±Infinity for huge exponents and 0 for tiny ones.
        std::size_t e = token.find_first_of("eE");
        bool tiny = e != std::string_view::npos && e + 1 < token.size() && token[e + 1] == '-';
        return tiny ? "0" : (negative ? "-Infinity" : "Infinity");
    }
    return JsNumberText(value);
}

} // namespace verolux
