#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace verolux::reports::barcode {

// One dark area of a symbol, in module units (x to the right, y downwards from the top-left
// corner of the symbol, quiet zones not included).
struct BarcodeRect {
    float x = 0;
    float y = 0;
    float w = 0;
    float h = 0;
};

struct BarcodeResult {
    bool ok = false;
    std::string error;              // zint's message when !ok
    float width = 0;                // modules
    float height = 0;               // modules (linear symbols: 1, every bar spans 0..1)
    bool linear = false;            // bars: stretch to the item's height; otherwise keep modules square
    std::vector<BarcodeRect> rects; // horizontal runs merged
    std::string humanText;          // text to print under a linear symbol (EAN-13 with check digit)
};

// Symbologies: "code128", "ean13", "qr", "datamatrix", "pdf417" (ASCII case-insensitive).
bool IsKnownSymbology(std::string_view symbology);

// Encodes data (UTF-8) with libzint. EAN-13 takes 12 digits (check digit added) or 13
// (check digit verified). Bad data or an unknown symbology gives ok=false and a reason;
// never throws.
BarcodeResult EncodeBarcode(std::string_view symbology, std::string_view data);

} // namespace verolux::reports::barcode
