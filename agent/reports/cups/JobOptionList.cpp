#include "agent/reports/cups/CupsJob.h"
#include "agent/reports/cups/CupsRawJob.h"
#include "agent/reports/cups/PwgNames.h"

#include <algorithm>
#include <charconv>
#include <cmath>

// Job and document options as CUPS names them, the same for every print service (the Windows spooler
// takes them into its DEVMODE).
namespace verolux::cups {

namespace {

const char* SidesKeyword(Sides sides) {
    switch (sides) {
    case Sides::TwoSidedLongEdge:
        return "two-sided-long-edge";
    case Sides::TwoSidedShortEdge:
        return "two-sided-short-edge";
    case Sides::OneSided:
        break;
    }
    return "one-sided";
}

} // namespace

std::vector<std::pair<std::string, std::string>> JobOptionList(const JobOptions& o) {
    std::vector<std::pair<std::string, std::string>> list;
    if (!o.media.empty()) {
        list.emplace_back("media", o.media);
    } else if (o.paperWidthMm > 0 && o.paperHeightMm > 0) {
        // A standard size gets its own name ("iso_a4_210x297mm"), as it is fed (narrow side across),
        // any other a custom one as it is given (a label may be wider than long); the print service
        // maps either to the printer's paper.
        const int w = int(std::lround(o.paperWidthMm * 100)), h = int(std::lround(o.paperHeightMm * 100));
        const std::string name = StandardSizeName(std::min(w, h), std::max(w, h));
        list.emplace_back("media", !name.empty() ? name : CustomSizeName(w, h));
    }
    list.emplace_back("orientation-requested", o.landscape ? "4" : "3");
    list.emplace_back("copies", std::to_string(std::max(1, o.copies)));
    list.emplace_back("collate", o.collate ? "true" : "false");
    list.emplace_back("multiple-document-handling", o.collate ? "separate-documents-collated-copies"
                                                              : "separate-documents-uncollated-copies");
    list.emplace_back("sides", SidesKeyword(o.sides));
    if (!o.pageRanges.empty()) list.emplace_back("page-ranges", o.pageRanges);
    if (o.reverse) list.emplace_back("outputorder", "reverse");
    if (o.monochrome) list.emplace_back("print-color-mode", "monochrome");
    if (!o.mediaSource.empty()) list.emplace_back("media-source", o.mediaSource);
    return list;
}

std::vector<std::pair<std::string, std::string>> DocumentOptionList(const JobOptions& o, Scaling scaling,
                                                                    bool sidesAsked) {
    std::vector<std::pair<std::string, std::string>> list;
    list.emplace_back("copies", std::to_string(std::max(1, o.copies)));
    if (sidesAsked) list.emplace_back("sides", SidesKeyword(o.sides));
    if (!o.pageRanges.empty()) list.emplace_back("page-ranges", o.pageRanges);
    if (!o.media.empty()) list.emplace_back("media", o.media);
    if (!o.mediaSource.empty()) list.emplace_back("media-source", o.mediaSource);
    if (scaling == Scaling::None) list.emplace_back("print-scaling", "none");
    if (scaling == Scaling::Fit) list.emplace_back("print-scaling", "fit");
    if (scaling == Scaling::Fill) list.emplace_back("print-scaling", "fill");
    if (o.offsetXMm != 0 || o.offsetYMm != 0) {
        // Not the C library's printf: a locale must not turn the decimal point into the separator.
        char text[64];
        char* end = std::to_chars(text, text + 30, o.offsetXMm, std::chars_format::fixed, 2).ptr;
        *end++ = ',';
        end = std::to_chars(end, text + sizeof text, o.offsetYMm, std::chars_format::fixed, 2).ptr;
        list.emplace_back(kOffsetOption, std::string(text, end));
    }
    return list;
}

} // namespace verolux::cups
