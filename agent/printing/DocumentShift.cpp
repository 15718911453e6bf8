#include "agent/printing/DocumentShift.h"

#include <algorithm>

namespace verolux {

PageShift ShiftOnPage(const PrinterOffset& offset, PagePoints page, double sheetWidthMm, double sheetHeightMm,
                      Fit fit) {
    const double x = offset.xMm(), y = offset.yMm();
    if (sheetWidthMm <= 0 || sheetHeightMm <= 0 || page.width <= 0 || page.height <= 0) return {x, y};
    const bool turned = (page.width > page.height) != (sheetWidthMm > sheetHeightMm) &&
                        page.width != page.height && sheetWidthMm != sheetHeightMm;
    // The page as it lies on the sheet, in mm.
    constexpr double kMmPerPoint = 25.4 / 72;
    const double w = (turned ? page.height : page.width) * kMmPerPoint,
                 h = (turned ? page.width : page.height) * kMmPerPoint;
    const double fits = std::min(sheetWidthMm / w, sheetHeightMm / h);
    const double scale = fit == Fit::Fit       ? fits
                         : fit == Fit::Fill    ? std::max(sheetWidthMm / w, sheetHeightMm / h)
                         : fit == Fit::Printer ? std::min(1.0, fits)
                                               : 1.0;
    // Turned, the page's x runs up the sheet and its y to the right.
    if (turned) return {-y / scale, x / scale};
    return {x / scale, y / scale};
}

} // namespace verolux
