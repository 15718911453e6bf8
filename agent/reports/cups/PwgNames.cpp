#include "agent/reports/cups/PwgNames.h"

#include <cups/cups.h>

namespace verolux::cups {

std::string CustomSizeName(int widthHmm, int heightHmm) {
    char name[128];
    pwgFormatSizeName(name, sizeof name, "custom", nullptr, widthHmm, heightHmm, nullptr);
    return name;
}

} // namespace verolux::cups
