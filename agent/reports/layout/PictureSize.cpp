#include "agent/reports/layout/PictureSize.h"

#include "agent/reports/model/TemplateNames.h"

#include <algorithm>
#include <cmath>

namespace verolux::reports {

namespace {

// Pixels across `mm` at kPictureDpi, rounded up (a box of exactly 25.4 mm is 300, not 301).
int64_t boxPixels(double mm) {
    const double px = mm / 25.4 * kPictureDpi;
    if (!(px > 1)) return 1; // also NaN
    return static_cast<int64_t>(std::ceil(std::min(px, 1e9) - 1e-6));
}

std::string pictureItems(const std::string& band, size_t i) {
    return band + ".items[" + std::to_string(i) + "]";
}

} // namespace

PixelSize PictureDecodeSize(PixelSize natural, double boxWidth, double boxHeight, bool keepAspect) {
    if (natural.width <= 0 || natural.height <= 0) return {};
    const int64_t bw = boxPixels(boxWidth), bh = boxPixels(boxHeight);
    if (!keepAspect) return {std::min(natural.width, bw), std::min(natural.height, bh)};
    const double scale =
        std::min({1.0, double(bw) / double(natural.width), double(bh) / double(natural.height)});
    auto side = [&](int64_t n) { return std::clamp<int64_t>(std::llround(double(n) * scale), 1, n); };
    return {side(natural.width), side(natural.height)};
}

std::vector<TemplatePicture> TemplatePictures(const Template& tmpl) {
    std::vector<TemplatePicture> out;
    auto add = [&](const Band& band, const std::string& path) {
        for (size_t i = 0; i < band.items.size(); ++i)
            if (band.items[i].kind == ItemKind::Image) out.push_back({&band.items[i], pictureItems(path, i)});
    };
    for (const auto& b : kBandNames)
        add(tmpl.*(b.value), "bands." + std::string(b.name));
    for (size_t g = 0; g < tmpl.groups.size(); ++g) {
        const std::string path = "groups[" + std::to_string(g) + "]";
        add(tmpl.groups[g].header, path + ".header");
        add(tmpl.groups[g].footer, path + ".footer");
    }
    return out;
}

std::string CheckPictureBudget(const Template& tmpl, const std::function<PixelSize(const Item&)>& natural,
                               int64_t budget) {
    int64_t used = 0;
    for (const TemplatePicture& p : TemplatePictures(tmpl)) {
        const PixelSize own = natural(*p.item);
        // The box as a page holds it (PageItem keeps floats), so the painter decodes what is counted here.
        const PixelSize printed =
            PictureDecodeSize(own, double(float(p.item->w)), double(float(p.item->h)), p.item->keepAspect);
        if (used + printed.pixels() > budget)
            return p.path + ".data: a picture of " + std::to_string(own.width) + " x " +
                   std::to_string(own.height) + " pixels, printed at " + std::to_string(printed.width) +
                   " x " + std::to_string(printed.height) + ", takes the template's pictures past " +
                   std::to_string(budget) + " pixels";
        used += printed.pixels();
    }
    return "";
}

} // namespace verolux::reports
