#include "agent/reports/cups/PwgNames.h"

#include <cstdio>

namespace verolux::cups {
namespace {

// As libcups writes sizes: whole numbers without a fraction, else at most two (mm) or three (in) digits.
std::string Millimetres(int hmm) {
    char text[32];
    const int whole = hmm / 100, fraction = hmm % 100;
    if (fraction == 0)
        std::snprintf(text, sizeof text, "%d", whole);
    else if (fraction % 10 == 0)
        std::snprintf(text, sizeof text, "%d.%d", whole, fraction / 10);
    else
        std::snprintf(text, sizeof text, "%d.%02d", whole, fraction);
    return text;
}

std::string Inches(int hmm) {
    char text[32];
    const int whole = hmm / 2540;
    int fraction = ((hmm % 2540) * 1000 + 1270) / 2540;
    if (fraction == 0)
        std::snprintf(text, sizeof text, "%d", whole);
    else if (fraction % 10 == 0) {
        fraction /= 10;
        if (fraction % 10 == 0)
            std::snprintf(text, sizeof text, "%d.%d", whole, fraction / 10);
        else
            std::snprintf(text, sizeof text, "%d.%02d", whole, fraction);
    } else
        std::snprintf(text, sizeof text, "%d.%03d", whole, fraction);
    return text;
}

} // namespace

std::string CustomSizeName(int widthHmm, int heightHmm) {
    const bool inches = widthHmm % 635 == 0 && heightHmm % 635 == 0;
    const std::string size = inches ? Inches(widthHmm) + "x" + Inches(heightHmm) + "in"
                                    : Millimetres(widthHmm) + "x" + Millimetres(heightHmm) + "mm";
    return "custom_" + size + "_" + size;
}

} // namespace verolux::cups
