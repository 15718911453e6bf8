#include "agent/reports/barcode/Barcode.h"

#include <zint.h>

#include <algorithm>
#include <array>
#include <memory>
#include <optional>

namespace verolux::reports::barcode {

namespace {
struct Symbology {
    std::string_view name;
    int zintId;
    bool linear;
    // 2D symbols carry the UTF-8 bytes as they are (byte mode, what phone readers expect);
    // Code 128 takes its text as Unicode so zint maps it to Latin-1 or refuses it.
    int inputMode;
    // Quiet zones the standards ask for, in modules: left/right, and top/bottom for 2D symbols.
    float quietSide, quietRight, quietEnds;
};

// Code 128: 10X each side (ISO/IEC 15417); EAN-13: 11X left, 7X right (GS1); QR: 4X all round
// (ISO/IEC 18004); Data Matrix: 1X (ISO/IEC 16022); PDF417: 2X (ISO/IEC 15438).
constexpr std::array<Symbology, 5> kSymbologies{{
    {"code128", BARCODE_CODE128, true, UNICODE_MODE, 10, 10, 0},
    {"ean13", BARCODE_EANX, true, DATA_MODE, 11, 7, 0},
    {"qr", BARCODE_QRCODE, false, DATA_MODE, 4, 4, 4},
    {"datamatrix", BARCODE_DATAMATRIX, false, DATA_MODE, 1, 1, 1},
    {"pdf417", BARCODE_PDF417, false, DATA_MODE, 2, 2, 2},
}};

// EAN-13's guard patterns (start, centre, end) as module ranges; their bars reach into the digits.
bool InEanGuard(float x) {
    return x < 3 || (x >= 45 && x < 50) || x >= 92;
}

// The thirteen digits as GS1 prints them: the first left of the symbol, then six under each half,
// one under the middle of each seven-module character.
std::vector<BarcodeText> Ean13Texts(const std::string& digits) {
    std::vector<BarcodeText> texts{{digits.substr(0, 1), -4.5f}};
    for (int i = 0; i < 12; ++i) {
        const float start = i < 6 ? 3 + 7.0f * float(i) : 50 + 7.0f * float(i - 6);
        texts.push_back({digits.substr(size_t(i) + 1, 1), start + 3.5f});
    }
    return texts;
}

bool EqualsIgnoreCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        char c = a[i];
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        if (c != b[i]) return false;
    }
    return true;
}

const Symbology* FindSymbology(std::string_view name) {
    for (const Symbology& s : kSymbologies)
        if (EqualsIgnoreCase(name, s.name)) return &s;
    return nullptr;
}

int Ean13CheckDigit(std::string_view twelveDigits) {
    int sum = 0;
    for (size_t i = 0; i < 12; ++i)
        sum += (twelveDigits[i] - '0') * (i % 2 == 0 ? 1 : 3);
    return (10 - sum % 10) % 10;
}

// EAN-13 input is checked here so that only a 12-digit body reaches zint (whose EAN entry
// point would otherwise also take EAN-8, UPC and add-on forms).
std::optional<std::string> Ean13Body(std::string_view data, std::string& error) {
    for (char c : data) {
        if (c < '0' || c > '9') {
            error = "EAN-13 takes digits only";
            return std::nullopt;
        }
    }
    if (data.size() != 12 && data.size() != 13) {
        error = "EAN-13 takes 12 digits (or 13 with the check digit), got " + std::to_string(data.size());
        return std::nullopt;
    }
    if (data.size() == 13) {
        const int expected = Ean13CheckDigit(data);
        if (data[12] - '0' != expected) {
            error = "Invalid EAN-13 check digit '" + std::string(1, data[12]) + "', expecting '" +
                    std::to_string(expected) + "'";
            return std::nullopt;
        }
    }
    return std::string(data.substr(0, 12));
}

bool ModuleIsSet(const zint_symbol& symbol, int row, int column) {
    return (symbol.encoded_data[row][column >> 3] >> (column & 7)) & 1;
}

struct SymbolDeleter {
    void operator()(zint_symbol* s) const { ZBarcode_Delete(s); }
};
} // namespace

bool IsKnownSymbology(std::string_view symbology) {
    return FindSymbology(symbology) != nullptr;
}

BarcodeResult EncodeBarcode(std::string_view symbologyName, std::string_view data) {
    BarcodeResult result;
    const Symbology* symbology = FindSymbology(symbologyName);
    if (!symbology) {
        result.error = "Unknown barcode type '" + std::string(symbologyName) + "'";
        return result;
    }
    if (data.empty()) {
        result.error = "No input data";
        return result;
    }
    std::string input(data);
    if (symbology->zintId == BARCODE_EANX) {
        const auto body = Ean13Body(data, result.error);
        if (!body) return result;
        input = *body;
    }

    std::unique_ptr<zint_symbol, SymbolDeleter> symbol(ZBarcode_Create());
    if (!symbol) {
        result.error = "Out of memory";
        return result;
    }
    symbol->symbology = symbology->zintId;
    symbol->input_mode = symbology->inputMode;
    symbol->show_hrt = 1;
    const int code = ZBarcode_Encode(symbol.get(), reinterpret_cast<const unsigned char*>(input.data()),
                                     static_cast<int>(input.size()));
    if (code >= ZINT_ERROR) {
        result.error = symbol->errtxt;
        if (result.error.empty()) result.error = "Barcode could not be encoded";
        return result;
    }

    const int rows = symbol->rows;
    const int width = symbol->width;
    if (rows <= 0 || width <= 0) {
        result.error = "Barcode could not be encoded";
        return result;
    }
    result.ok = true;
    result.linear = symbology->linear;
    result.width = static_cast<float>(width);
    result.quietLeft = symbology->quietSide;
    result.quietRight = symbology->quietRight;
    result.quietTop = result.quietBottom = symbology->quietEnds;
    if (symbology->zintId == BARCODE_EANX) {
        result.humanText = input + std::to_string(Ean13CheckDigit(input));
        result.texts = Ean13Texts(result.humanText);
    } else if (symbology->linear) {
        result.humanText = reinterpret_cast<const char*>(symbol->text);
        if (!result.humanText.empty()) result.texts.push_back({result.humanText, result.width / 2});
    }

    // Row heights: linear symbols are one row of bars spanning 0..1; stacked ones keep zint's
    // relative row heights (PDF417 rows are several modules high); matrix modules are square.
    float y = 0;
    struct Open {
        size_t rect;
        int x;
        int w;
    };
    std::vector<Open> previous;
    std::vector<Open> current;
    for (int row = 0; row < rows; ++row) {
        float h = 1;
        if (symbology->linear)
            h = 1.0f / static_cast<float>(rows);
        else if (symbol->row_height[row] > 0)
            h = symbol->row_height[row];
        else if (symbol->height > 0)
            h = symbol->height / static_cast<float>(rows); // PDF417: rows three modules high
        current.clear();
        size_t match = 0;
        for (int x = 0; x < width;) {
            if (!ModuleIsSet(*symbol, row, x)) {
                ++x;
                continue;
            }
            int end = x + 1;
            while (end < width && ModuleIsSet(*symbol, row, end))
                ++end;
            const int w = end - x;
            // The same run directly above grows downwards instead of starting a new rect.
            while (match < previous.size() && previous[match].x < x)
                ++match;
            if (match < previous.size() && previous[match].x == x && previous[match].w == w) {
                result.rects[previous[match].rect].h += h;
                current.push_back(previous[match]);
            } else {
                result.rects.push_back({static_cast<float>(x), y, static_cast<float>(w), h});
                current.push_back({result.rects.size() - 1, x, w});
            }
            x = end;
        }
        std::swap(previous, current);
        y += h;
    }
    result.height = y;
    if (symbology->zintId == BARCODE_EANX)
        for (BarcodeRect& r : result.rects)
            r.guard = InEanGuard(r.x);
    return result;
}

PlacedBarcode PlaceBarcode(const BarcodeResult& symbol, double x, double y, double w, double h,
                           double textHeight) {
    PlacedBarcode out;
    if (!symbol.ok || symbol.width <= 0 || symbol.height <= 0 || w <= 0 || h <= 0) return out;
    const double wideModules = double(symbol.quietLeft) + symbol.width + symbol.quietRight;
    double module = 0, barH = 0, left = x, top = y;
    if (symbol.linear) {
        module = w / wideModules;
        left = x + symbol.quietLeft * module;
        if (symbol.texts.empty()) textHeight = 0;
        barH = std::max(0.0, h - textHeight); // bars span the symbol's one row: 0..height
    } else {
        const double tallModules = double(symbol.quietTop) + symbol.height + symbol.quietBottom;
        module = std::min(w / wideModules, h / tallModules);
        left = x + (w - module * wideModules) / 2 + symbol.quietLeft * module;
        top = y + (h - module * tallModules) / 2 + symbol.quietTop * module;
    }
    const double guardExtra = std::min(5 * module, textHeight);
    out.bars.reserve(symbol.rects.size());
    for (const BarcodeRect& r : symbol.rects) {
        BarcodeRect b;
        b.x = float(left + r.x * module);
        b.w = float(r.w * module);
        if (symbol.linear) {
            b.y = float(top + r.y / symbol.height * barH);
            b.h = float(r.h / symbol.height * barH + (r.guard ? guardExtra : 0));
        } else {
            b.y = float(top + r.y * module);
            b.h = float(r.h * module);
        }
        b.guard = r.guard;
        out.bars.push_back(b);
    }
    for (const BarcodeText& t : symbol.texts)
        out.texts.push_back({t.text, left + t.centre * module, y + barH});
    return out;
}

} // namespace verolux::reports::barcode
