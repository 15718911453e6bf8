#include "format/NumberFormat.h"

#include <algorithm>
#include <vector>

namespace verolux::reports::format::detail {

namespace {
constexpr int kMaxDecimals = 30;

size_t Utf8Length(unsigned char lead)
{
    if (lead >= 0xF0)
        return 4;
    if (lead >= 0xE0)
        return 3;
    if (lead >= 0xC0)
        return 2;
    return 1;
}

// Splits at ';' outside "quoted" text and not escaped by a backslash.
std::vector<std::string_view> SplitSections(std::string_view format)
{
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

bool IsPlaceholder(char c) { return c == '0' || c == '#'; }

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

Section ParseSection(std::string_view text)
{
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
            if (part == Part::Pattern)
                part = Part::Suffix;
            literal(text.substr(i + 1, stop - i - 1));
            i = end == std::string_view::npos ? text.size() : end + 1;
            continue;
        }
        if (c == '\\' && i + 1 < text.size()) {
            if (part == Part::Pattern)
                part = Part::Suffix;
            const size_t length = std::min(Utf8Length(static_cast<unsigned char>(text[i + 1])), text.size() - i - 1);
            literal(text.substr(i + 1, length));
            i += 1 + length;
            continue;
        }
        const bool startsPattern = IsPlaceholder(c)
            || ((c == '.' || c == ',') && i + 1 < text.size() && IsPlaceholder(text[i + 1]));
        if (part == Part::Prefix && startsPattern) {
            part = Part::Pattern;
            section.hasPattern = true;
        }
        if (part == Part::Pattern) {
            if (IsPlaceholder(c)) {
                if (inFraction) {
                    section.maxDecimals++;
                    if (c == '0')
                        section.minDecimals = section.maxDecimals;
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
        if (c == '%')
            section.percent = true;
        const size_t length = std::min(Utf8Length(static_cast<unsigned char>(c)), text.size() - i);
        literal(text.substr(i, length));
        i += length;
    }
    section.maxDecimals = std::min(section.maxDecimals, kMaxDecimals);
    section.minDecimals = std::min(section.minDecimals, section.maxDecimals);
    section.minInteger = std::min(section.minInteger, 40);
    return section;
}

DecimalDigits Scaled(DecimalDigits value, const Section& section)
{
    if (section.percent && !value.isZero())
        value.exponent += 2;
    return value;
}

std::string Render(const FixedDigits& fixed, const Section& section)
{
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
            if (i != 0 && (i - head) % 3 == 0 && i >= head)
                grouped.push_back(',');
            grouped.push_back(integer[i]);
        }
        integer = std::move(grouped);
    }
    std::string out = section.prefix + integer;
    if (!fraction.empty())
        out += "." + fraction;
    // "#" alone for zero would print nothing at all; show the zero.
    if (section.hasPattern && integer.empty() && fraction.empty())
        out += "0";
    return out + section.suffix;
}
} // namespace

bool IsNumberFormat(std::string_view format)
{
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

std::string FormatNumber(const DecimalDigits& value, std::string_view format)
{
    const std::vector<std::string_view> texts = SplitSections(format);
    const Section first = ParseSection(texts[0]);
    DecimalDigits magnitude = value;
    magnitude.negative = false;

    FixedDigits fixed = RoundToDecimals(Scaled(magnitude, first), first.maxDecimals);
    if (texts.size() >= 3 && fixed.isZero()) {
        if (texts[2].empty())
            return {};
        const Section zero = ParseSection(texts[2]);
        return Render(RoundToDecimals(Scaled(magnitude, zero), zero.maxDecimals), zero);
    }
    if (value.negative && texts.size() >= 2) {
        if (texts[1].empty())
            return {};
        const Section negative = ParseSection(texts[1]);
        return Render(RoundToDecimals(Scaled(magnitude, negative), negative.maxDecimals), negative);
    }
    std::string out = Render(fixed, first);
    // A negative amount that rounds to zero prints without its sign.
    if (value.negative && !fixed.isZero())
        out = "-" + out;
    return out;
}

} // namespace verolux::reports::format::detail
