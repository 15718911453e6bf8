#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace verolux {

// Where a printer puts the page against where it should: every report printed on it is moved by this
// much (x right, y down), in tenths of a millimetre. Kept in MyIni.ini, [PrinterOffset] queue = "x,y".
struct PrinterOffset {
    int x = 0, y = 0;
    bool zero() const { return x == 0 && y == 0; }
    double xMm() const { return x / 10.0; }
    double yMm() const { return y / 10.0; }
    friend bool operator==(const PrinterOffset&, const PrinterOffset&) = default;
};

inline constexpr const char* kOffsetSection = "PrinterOffset";
// A printer that is off by more than this needs mending, not calibrating.
inline constexpr int kMaxOffsetTenths = 300;

// "x,y" in tenths of a millimetre, each within ±kMaxOffsetTenths; nullopt for anything else ("" too).
std::optional<PrinterOffset> ParseOffset(std::string_view text);
std::string FormatOffset(const PrinterOffset& offset);

} // namespace verolux
