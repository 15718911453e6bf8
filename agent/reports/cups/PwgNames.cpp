#include "agent/reports/cups/PwgNames.h"

#include <cups/cups.h>

namespace verolux::cups {

std::string CustomSizeName(int widthHmm, int heightHmm) {
    char name[128];
    pwgFormatSizeName(name, sizeof name, "custom", nullptr, widthHmm, heightHmm, nullptr);
    return name;
}

std::string StandardSizeName(int widthHmm, int heightHmm) {
    const pwg_media_t* media = pwgMediaForSize(widthHmm, heightHmm);
    return media && media->pwg && !std::string_view(media->pwg).starts_with("custom_") ? media->pwg : "";
}

bool SizeOfName(const std::string& name, int* widthHmm, int* heightHmm) {
    const pwg_media_t* media = pwgMediaForPWG(name.c_str());
    if (!media) return false;
    *widthHmm = media->width;
    *heightHmm = media->length;
    return true;
}

} // namespace verolux::cups
