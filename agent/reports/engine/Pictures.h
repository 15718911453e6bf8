#pragma once

#include "agent/reports/layout/PictureSize.h"
#include "agent/reports/model/Template.h"

#include <QImage>

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>

namespace verolux::reports {

// A picture's own size as its header gives it, without decoding the pixels; {0, 0} if it cannot be read.
PixelSize PictureNaturalSize(std::string_view bytes);

// The picture decoded at `size` (PictureDecodeSize): a JPEG is decoded at that size directly, other
// formats are scaled down as they are read. A null image if it cannot be read.
QImage DecodePicture(std::string_view bytes, PixelSize size);

// "" if the template's pictures, each decoded at its print size, fit in the report's pixel budget (only
// their headers are read); else the reason, naming the picture by its place in the file.
std::string CheckTemplatePictures(const Template& tmpl);

// The pictures a painter draws: each decoded once, at the size its box prints at, while the pictures
// decoded so far leave room in the budget (a template that was not loaded from a file, or not checked,
// cannot take more).
class PictureCache {
  public:
    explicit PictureCache(int64_t budget = kMaxReportPicturePixels) : m_budget(budget) {}
    struct Picture {
        QImage image;      // null when it cannot be read or has no room left in the budget
        PixelSize natural; // its own size, whose proportions it is drawn in
    };
    // The picture of `item` for a box of `boxWidth` x `boxHeight` mm.
    const Picture& picture(const Item& item, double boxWidth, double boxHeight);
    int64_t pixels() const { return m_used; }

  private:
    std::unordered_map<const Item*, Picture> m_pictures;
    int64_t m_budget, m_used = 0;
};

} // namespace verolux::reports
