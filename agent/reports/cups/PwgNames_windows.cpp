#include "agent/reports/cups/PwgNames.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

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

// Papers Windows drivers commonly offer, by their PWG names (the size is in the name).
constexpr const char* kStandard[] = {"iso_a0_841x1189mm",
                                     "iso_a1_594x841mm",
                                     "iso_a2_420x594mm",
                                     "iso_a3_297x420mm",
                                     "iso_a4_210x297mm",
                                     "iso_a5_148x210mm",
                                     "iso_a6_105x148mm",
                                     "iso_a7_74x105mm",
                                     "iso_b4_250x353mm",
                                     "iso_b5_176x250mm",
                                     "iso_b6_125x176mm",
                                     "jis_b4_257x364mm",
                                     "jis_b5_182x257mm",
                                     "iso_c4_229x324mm",
                                     "iso_c5_162x229mm",
                                     "iso_c6_114x162mm",
                                     "iso_dl_110x220mm",
                                     "na_letter_8.5x11in",
                                     "na_legal_8.5x14in",
                                     "na_executive_7.25x10.5in",
                                     "na_ledger_11x17in",
                                     "na_invoice_5.5x8.5in",
                                     "na_foolscap_8.5x13in",
                                     "na_govt-letter_8x10in",
                                     "na_number-10_4.125x9.5in",
                                     "na_monarch_3.875x7.5in",
                                     "na_index-4x6_4x6in",
                                     "na_index-3x5_3x5in",
                                     "na_5x7_5x7in",
                                     "na_index-5x8_5x8in",
                                     "oe_photo-l_3.5x5in",
                                     "prc_16k_146x215mm",
                                     "prc_32k_97x151mm",
                                     "om_16k_184x260mm",
                                     "om_16k_195x270mm",
                                     "prc_1_102x165mm",
                                     "prc_2_102x176mm",
                                     "prc_3_125x176mm",
                                     "prc_4_110x208mm",
                                     "prc_6_120x230mm",
                                     "prc_7_160x230mm",
                                     "prc_8_120x309mm",
                                     "prc_10_324x458mm",
                                     "jpn_hagaki_100x148mm",
                                     "jpn_oufuku_148x200mm",
                                     "jpn_chou3_120x235mm",
                                     "jpn_kaku2_240x332mm",
                                     "om_small-photo_100x150mm"};

// A driver's size may be off by rounding to tenths of a millimetre (Letter is 215.9 × 279.4 mm).
constexpr int kToleranceHmm = 100;

// "8.5" in hundredths of a millimetre, given the unit's hundredths of a millimetre.
int Measure(const std::string& number, int perUnit) {
    return int(std::lround(std::strtod(number.c_str(), nullptr) * perUnit));
}

} // namespace

std::string CustomSizeName(int widthHmm, int heightHmm) {
    const bool inches = widthHmm % 635 == 0 && heightHmm % 635 == 0;
    const std::string size = inches ? Inches(widthHmm) + "x" + Inches(heightHmm) + "in"
                                    : Millimetres(widthHmm) + "x" + Millimetres(heightHmm) + "mm";
    return "custom_" + size + "_" + size;
}

bool SizeOfName(const std::string& name, int* widthHmm, int* heightHmm) {
    const std::size_t last = name.rfind('_');
    if (last == std::string::npos) return false;
    std::string size = name.substr(last + 1);
    int perUnit = 0;
    if (size.ends_with("mm"))
        perUnit = 100;
    else if (size.ends_with("in"))
        perUnit = 2540;
    else
        return false;
    size.resize(size.size() - 2);
    const std::size_t x = size.find('x');
    if (x == std::string::npos || x == 0 || x + 1 == size.size()) return false;
    const std::string w = size.substr(0, x), h = size.substr(x + 1);
    if (w.find_first_not_of("0123456789.") != std::string::npos ||
        h.find_first_not_of("0123456789.") != std::string::npos)
        return false;
    *widthHmm = Measure(w, perUnit);
    *heightHmm = Measure(h, perUnit);
    return *widthHmm > 0 && *heightHmm > 0;
}

std::string StandardSizeName(int widthHmm, int heightHmm) {
    for (const char* name : kStandard) {
        int w = 0, h = 0;
        if (SizeOfName(name, &w, &h) && std::abs(w - widthHmm) <= kToleranceHmm &&
            std::abs(h - heightHmm) <= kToleranceHmm)
            return name;
    }
    return {};
}

} // namespace verolux::cups
