#pragma once

#include "agent/reports/layout/LayoutLimits.h"
#include "agent/reports/model/Template.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace verolux::reports {

// Pictures are decoded no finer than they print: their box at this resolution.
inline constexpr double kPictureDpi = 300;

struct PixelSize {
    int64_t width = 0, height = 0;
    int64_t pixels() const { return width * height; }
    friend bool operator==(const PixelSize&, const PixelSize&) = default;
};

// The size a picture of `natural` pixels is decoded at for a box of `boxWidth` x `boxHeight` mm: no larger
// than the picture itself nor than the box at kPictureDpi, at least a pixel each way; with `keepAspect`
// in the picture's proportions (it is drawn so), else each side on its own (it is stretched to the box).
PixelSize PictureDecodeSize(PixelSize natural, double boxWidth, double boxHeight, bool keepAspect);

// A picture item of a template and its place in the file, "bands.detail.items[2]" or
// "groups[0].header.items[1]".
struct TemplatePicture {
    const Item* item = nullptr;
    std::string path;
};
std::vector<TemplatePicture> TemplatePictures(const Template& tmpl);

// The pictures of a template decoded at their print size must fit in `budget` pixels together. `natural`
// gives a picture's own size, {0, 0} for one that cannot be read (it is not drawn). "" if they fit, else
// the reason, at the first picture past the budget: "bands.detail.items[3].data: a picture of 6000 x 5000
// pixels, printed at 2244 x 1870, takes the template's pictures past 64000000 pixels".
std::string CheckPictureBudget(const Template& tmpl, const std::function<PixelSize(const Item&)>& natural,
                               int64_t budget = kMaxReportPicturePixels);

} // namespace verolux::reports
