#pragma once

#include <cstddef>
#include <cstdint>

namespace verolux::reports {

// What one report may take, far above any real print job (32,767 rows of an order list make 841 pages,
// 200,000 items and 6 MB of text), so that a hostile template or request cannot take the machine's
// memory or time. A template or report past one fails with the reason; see docs/template-format.md.
inline constexpr size_t kMaxReportPages = 100000;
inline constexpr size_t kMaxReportItems = 5000000;               // placed on all pages together
inline constexpr size_t kMaxReportTextBytes = 256 * 1024 * 1024; // of the texts placed on all pages
inline constexpr size_t kMaxTemplateItems = 100000;              // in all bands of a template
inline constexpr size_t kMaxTemplateStyles = 100000;             // named and inline
inline constexpr size_t kMaxGroupLevels = 100;
// Pixels of all pictures of a template together, each decoded at the size it prints at (PictureSize.h):
// 256 MB at four bytes a pixel, some seven A4 pages of pictures at 300 dpi.
inline constexpr int64_t kMaxReportPicturePixels = 64000000;

} // namespace verolux::reports
