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
    bool guard = false; // EAN guard bar: reaches down between the digits
};

// A piece of the human-readable line under a linear symbol, centred on `centre` (modules from the
// symbol's left edge; negative in the left quiet zone).
struct BarcodeText {
    std::string text;
    float centre = 0;
};

struct BarcodeResult {
    bool ok = false;
    std::string error;              // zint's message when !ok
    float width = 0;                // modules
    float height = 0;               // modules (linear symbols: 1, every bar spans 0..1)
    bool linear = false;            // bars: stretch to the item's height; otherwise keep modules square
    std::vector<BarcodeRect> rects; // horizontal runs merged
    std::string humanText;          // text to print under a linear symbol (EAN-13 with check digit)
    std::vector<BarcodeText> texts; // humanText as the symbology's standard places it
    // Light margins the symbology requires around the symbol, in modules.
    float quietLeft = 0, quietRight = 0, quietTop = 0, quietBottom = 0;
};

// Where a symbol goes in a box, in the box's units (mm): the symbol with its quiet zones fills the
// box's width (linear) or fits it with square modules, centred (2D). A linear symbol keeps a band of
// `textHeight` at the bottom for its text; EAN guard bars reach 5 modules into it.
struct PlacedText {
    std::string text;
    double centreX = 0, top = 0;
};
struct PlacedBarcode {
    std::vector<BarcodeRect> bars;
    std::vector<PlacedText> texts;
};
PlacedBarcode PlaceBarcode(const BarcodeResult& symbol, double x, double y, double w, double h,
                           double textHeight);

// Symbologies: "code128", "ean13", "qr", "datamatrix", "pdf417" (ASCII case-insensitive).
bool IsKnownSymbology(std::string_view symbology);

// Encodes data (UTF-8) with libzint. EAN-13 takes 12 digits (check digit added) or 13
// (check digit verified). Bad data or an unknown symbology gives ok=false and a reason;
// never throws.
BarcodeResult EncodeBarcode(std::string_view symbology, std::string_view data);

} // namespace verolux::reports::barcode
