#include "agent/reports/format/NumberFormat.h"
#include "agent/reports/format/Int128.h"

#include <algorithm>
#include <memory>
#include <vector>

namespace verolux::reports::format::detail {

namespace {
constexpr int kMaxDecimals = 30;

size_t Utf8Length(unsigned char lead) {
    if (lead >= 0xF0) return 4;
    if (lead >= 0xE0) return 3;
    if (lead >= 0xC0) return 2;
    return 1;
}

// Splits at ';' outside "quoted" text and not escaped by a backslash.
std::vector<std::string_view> SplitSections(std::string_view format) {
    std::vector<std::string_view> sections;
    bool quoted = false;
    size_t start = 0;
    for (size_t i = 0; i < format.size(); ++i) {
        const char c = format[i];
        if (c == '\\' && !quoted) {
            ++i;
        } else if (c == '"') {
            quoted = !quoted;
        } else if (c == ';' && !quoted) {
            sections.push_back(format.substr(start, i - start));
            start = i + 1;
        }
    }
    sections.push_back(format.substr(start));
    return sections;
}

bool IsPlaceholder(char c) {
    return c == '0' || c == '#';
}

struct Section {
    std::string prefix;
    std::string suffix;
    bool percent = false;
    bool grouping = false;
    bool hasPattern = false;
    int minInteger = 0;
    int minDecimals = 0;
    int maxDecimals = 0;
};

Section ParseSection(std::string_view text) {
    Section section;
    enum class Part { Prefix, Pattern, Suffix } part = Part::Prefix;
    bool inFraction = false;
    auto literal = [&](std::string_view piece) {
        (part == Part::Prefix ? section.prefix : section.suffix).append(piece);
    };
    for (size_t i = 0; i < text.size();) {
        const char c = text[i];
        if (c == '"') {
            const size_t end = text.find('"', i + 1);
            const size_t stop = end == std::string_view::npos ? text.size() : end;
            if (part == Part::Pattern) part = Part::Suffix;
            literal(text.substr(i + 1, stop - i - 1));
            i = end == std::string_view::npos ? text.size() : end + 1;
            continue;
        }
        if (c == '\\' && i + 1 < text.size()) {
            if (part == Part::Pattern) part = Part::Suffix;
            const size_t length =
                std::min(Utf8Length(static_cast<unsigned char>(text[i + 1])), text.size() - i - 1);
            literal(text.substr(i + 1, length));
            i += 1 + length;
            continue;
        }
        const bool startsPattern =
            IsPlaceholder(c) || ((c == '.' || c == ',') && i + 1 < text.size() && IsPlaceholder(text[i + 1]));
        if (part == Part::Prefix && startsPattern) {
            part = Part::Pattern;
            section.hasPattern = true;
        }
        if (part == Part::Pattern) {
            if (IsPlaceholder(c)) {
                if (inFraction) {
                    section.maxDecimals++;
                    if (c == '0') section.minDecimals = section.maxDecimals;
                } else if (c == '0') {
                    section.minInteger++;
                }
                ++i;
                continue;
            }
            if (c == ',' && !inFraction) {
                section.grouping = true;
                ++i;
                continue;
            }
            if (c == '.' && !inFraction) {
                inFraction = true;
                ++i;
                continue;
            }
            part = Part::Suffix;
        }
        if (c == '%') section.percent = true;
        const size_t length = std::min(Utf8Length(static_cast<unsigned char>(c)), text.size() - i);
        literal(text.substr(i, length));
        i += length;
    }
    section.maxDecimals = std::min(section.maxDecimals, kMaxDecimals);
    section.minDecimals = std::min(section.minDecimals, section.maxDecimals);
    section.minInteger = std::min(section.minInteger, 40);
    return section;
}

// The digits of a number, rounded on demand to a section's decimals.
class DigitsSource {
  public:
    explicit DigitsSource(const DecimalDigits& value) : m_magnitude(value) { m_magnitude.negative = false; }

    FixedDigits round(int decimals, bool percent) const {
        DecimalDigits scaled = m_magnitude;
        if (percent && !scaled.isZero()) scaled.exponent += 2;
        return RoundToDecimals(scaled, decimals);
    }

  private:
    DecimalDigits m_magnitude;
};

// An integer or currency amount (value / 10^scale): rounded in 128-bit arithmetic, no digit strings.
class ScaledSource {
  public:
    ScaledSource(std::int64_t value, int scaleDigits)
        : m_value(value), m_scale(scaleDigits),
          m_magnitude(value < 0 ? 0 - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value)) {
    }

    FixedDigits round(int decimals, bool percent) const {
        const int scale = percent ? m_scale - 2 : m_scale;
        UInt128 units = m_magnitude;
        if (decimals >= scale) {
            if (decimals - scale > 19)
                return DigitsSource(DecimalFromScaled(m_value, m_scale)).round(decimals, percent);
            units *= Power(decimals - scale);
        } else {
            if (scale - decimals > 20)
                units = 0;
            else {
                const UInt128 divisor = Power(scale - decimals);
                units = (units + divisor / 2) / divisor;
            }
        }
        FixedDigits out;
        const UInt128 one = Power(decimals);
        if (units <= UINT64_MAX) {
            const auto small = static_cast<std::uint64_t>(units);
            const auto smallOne = static_cast<std::uint64_t>(one);
            out.integerPart = std::to_string(small / smallOne);
            out.fractionPart = std::to_string(small % smallOne);
        } else {
            out.integerPart = ToText(units / one);
            out.fractionPart = ToText(units % one);
        }
        if (out.fractionPart == "0" && decimals == 0)
            out.fractionPart.clear();
        else if (static_cast<int>(out.fractionPart.size()) < decimals)
            out.fractionPart.insert(0, static_cast<size_t>(decimals) - out.fractionPart.size(), '0');
        out.negative = m_value < 0 && units != 0;
        return out;
    }

  private:
    static UInt128 Power(int exponent) {
        UInt128 p = 1;
        for (int i = 0; i < exponent; ++i)
            p *= 10;
        return p;
    }

    static std::string ToText(UInt128 v) {
        // 128-bit division is slow: most amounts fit 64 bits.
        if (v <= UINT64_MAX) return std::to_string(static_cast<std::uint64_t>(v));
        char buffer[48];
        char* end = buffer + sizeof buffer;
        char* p = end;
        do {
            *--p = static_cast<char>('0' + static_cast<int>(v % 10));
            v /= 10;
        } while (v != 0);
        return std::string(p, end);
    }

    std::int64_t m_value;
    int m_scale;
    std::uint64_t m_magnitude;
};

// A format split into its sections and parsed once; formats repeat for every row.
struct ParsedFormat {
    std::vector<Section> sections;
    std::vector<bool> blank; // the section's text is empty: prints nothing
};

const ParsedFormat& Parse(std::string_view format) {
    constexpr size_t kCacheSize = 32;
    thread_local std::vector<std::pair<std::string, std::unique_ptr<ParsedFormat>>> cache;
    for (const auto& [text, parsed] : cache)
        if (text == format) return *parsed;
    if (cache.size() >= kCacheSize) cache.clear();
    auto parsed = std::make_unique<ParsedFormat>();
    for (std::string_view section : SplitSections(format)) {
        parsed->sections.push_back(ParseSection(section));
        parsed->blank.push_back(section.empty());
    }
    cache.emplace_back(std::string(format), std::move(parsed));
    return *cache.back().second;
}

std::string Render(const FixedDigits& fixed, const Section& section) {
    std::string fraction = fixed.fractionPart;
    while (static_cast<int>(fraction.size()) > section.minDecimals && fraction.back() == '0')
        fraction.pop_back();
    std::string integer = fixed.integerPart == "0" ? std::string() : fixed.integerPart;
    if (static_cast<int>(integer.size()) < section.minInteger)
        integer.insert(0, static_cast<size_t>(section.minInteger) - integer.size(), '0');
    if (section.grouping && integer.size() > 3) {
        std::string grouped;
        grouped.reserve(integer.size() + integer.size() / 3);
        const size_t head = integer.size() % 3;
        for (size_t i = 0; i < integer.size(); ++i) {
            if (i != 0 && (i - head) % 3 == 0 && i >= head) grouped.push_back(',');
            grouped.push_back(integer[i]);
        }
        integer = std::move(grouped);
    }
    std::string out = section.prefix + integer;
    if (!fraction.empty()) out += "." + fraction;
    // "#" alone for zero would print nothing at all; show the zero.
    if (section.hasPattern && integer.empty() && fraction.empty()) out += "0";
    return out + section.suffix;
}
} // namespace

bool IsNumberFormat(std::string_view format) {
    bool quoted = false;
    for (size_t i = 0; i < format.size(); ++i) {
        const char c = format[i];
        if (c == '\\' && !quoted)
            ++i;
        else if (c == '"')
            quoted = !quoted;
        else if (!quoted && IsPlaceholder(c))
            return true;
    }
    return false;
}

namespace {
template <typename Source>
std::string FormatWith(const Source& source, bool negativeValue, std::string_view format) {
    const ParsedFormat& parsed = Parse(format);
    const Section& first = parsed.sections[0];
    const FixedDigits fixed = source.round(first.maxDecimals, first.percent);
    if (parsed.sections.size() >= 3 && fixed.isZero()) {
        if (parsed.blank[2]) return {};
        const Section& zero = parsed.sections[2];
        return Render(source.round(zero.maxDecimals, zero.percent), zero);
    }
    if (negativeValue && parsed.sections.size() >= 2) {
        if (parsed.blank[1]) return {};
        const Section& negative = parsed.sections[1];
        return Render(source.round(negative.maxDecimals, negative.percent), negative);
    }
    std::string out = Render(fixed, first);
    // A negative amount that rounds to zero prints without its sign.
    if (negativeValue && !fixed.isZero()) out = "-" + out;
    return out;
}
} // namespace

std::string FormatNumber(const DecimalDigits& value, std::string_view format) {
    return FormatWith(DigitsSource(value), value.negative && !value.isZero(), format);
}

std::string FormatScaledNumber(std::int64_t value, int scaleDigits, std::string_view format) {
    return FormatWith(ScaledSource(value, scaleDigits), value < 0, format);
}

} // namespace verolux::reports::format::detail
