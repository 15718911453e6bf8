#include "barcode/Barcode.h"

namespace verolux::reports::barcode {

bool IsKnownSymbology(std::string_view) { return false; }

BarcodeResult EncodeBarcode(std::string_view, std::string_view)
{
    BarcodeResult r;
    r.error = "not built yet";
    return r;
}

} // namespace verolux::reports::barcode
