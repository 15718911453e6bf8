#pragma once

#include "agent/reports/cups/CupsPrinters.h"

#include <string>

// Checks a job's tray and paper against what a printer offers, before anything prints. No Qt.
namespace verolux::cups {

struct MediaRequest {
    std::string tray;                 // keyword or the driver's name; empty: the printer's own
    std::string paperName;            // PWG name or the driver's name; empty: by size or none
    double widthMm = 0, heightMm = 0; // by size (either way round), when both > 0
};

struct MediaDecision {
    std::string mediaSource; // the tray's keyword for `media-source`, empty when none asked
    std::string media;       // the PWG name for `media`, empty when none asked
    std::string error;       // why the printer cannot, naming what it offers; empty when it can
};

// A paper by size is one the printer lists (within 0.5 mm, either way round), else a custom size
// within its custom range.
MediaDecision DecideMedia(const PrinterInfo& printer, const MediaRequest& request);

} // namespace verolux::cups
