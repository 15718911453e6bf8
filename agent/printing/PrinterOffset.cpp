#include "agent/printing/PrinterOffset.h"

#include <charconv>
#include <cstdlib>

namespace verolux {
namespace {

bool ReadTenths(std::string_view text, int* value) {
    if (!text.empty() && text.front() == '+') text.remove_prefix(1);
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), *value);
    return !text.empty() && ec == std::errc() && end == text.data() + text.size() &&
           std::abs(*value) <= kMaxOffsetTenths;
}

} // namespace

std::optional<PrinterOffset> ParseOffset(std::string_view text) {
    const std::size_t comma = text.find(',');
    PrinterOffset o;
    if (comma == std::string_view::npos || !ReadTenths(text.substr(0, comma), &o.x) ||
        !ReadTenths(text.substr(comma + 1), &o.y))
        return std::nullopt;
    return o;
}

std::string FormatOffset(const PrinterOffset& offset) {
    return std::to_string(offset.x) + "," + std::to_string(offset.y);
}

} // namespace verolux
