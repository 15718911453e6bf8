#pragma once

#include "agent/reports/cups/CupsError.h"

#include <string>
#include <vector>

// The printers of the local CUPS scheduler, read through libcups. No Qt: callers convert at their edge.
namespace verolux::cups {

enum class PrinterState { Idle, Printing, Stopped };

struct MediaSize {
    std::string name; // PWG media name, e.g. "iso_a4_210x297mm"
    double widthMm = 0, heightMm = 0;
    std::string text; // ListPrinters: the driver's name for it, in Chinese where it has one ("A4")
};

// An input tray: its IPP keyword ("tray-2", as jobs name it) and the driver's name for it ("纸盒 2").
struct Tray {
    std::string name;
    std::string text; // ListPrinters only; else the keyword
};

struct PrinterInfo {
    std::string name; // the queue name that jobs are sent to
    std::string description, location;
    bool isDefault = false;
    PrinterState state = PrinterState::Idle;
    std::vector<std::string> stateReasons; // CUPS keywords ("paused", "media-empty-error"); "none" left out
    std::string stateMessage;              // CUPS's own text about the state, often empty
    bool acceptingJobs = false;
    bool color = false, duplex = false;
    std::vector<MediaSize> media; // sizes the printer offers, without custom ranges
    std::vector<Tray> trays;      // media-source-supported, in the printer's order
    // The range of custom sizes (width <= height as fed is not implied); all 0 when it takes none.
    double customMinWidthMm = 0, customMinHeightMm = 0, customMaxWidthMm = 0, customMaxHeightMm = 0;
    std::string defaultMedia; // the paper a job gets when it asks for none (PWG name); "" when not said
    int resolutionDpi = 0;    // the printer's default resolution across the feed; 0 when not said
};

// Every queue of the scheduler, in the scheduler's order, with the names its driver gives trays and papers.
// False with a reason when it cannot be asked (scheduler down); an empty list with true means it has no
// printers.
bool ListPrinters(std::vector<PrinterInfo>* printers, std::string* error);

// One queue, as ListPrinters describes it. False with a reason when there is no such queue.
bool QueryPrinter(const std::string& name, PrinterInfo* printer, std::string* error);

// Replaces the keywords in `text` of the printer's trays and papers by its driver's names for them
// (Chinese where the driver has them); ListPrinters does this for every printer.
void AddDisplayNames(PrinterInfo& printer);

// The printer a job for `requested` goes to: that queue when it exists, the default printer when
// `requested` is empty. False with a reason when the queue does not exist, there is no default or
// the scheduler does not answer (kSchedulerDown); never another printer than the one asked for.
bool ResolvePrinter(const std::string& requested, std::string* name, std::string* error);
bool ResolvePrinter(const std::string& requested, std::string* name, PrintError* error);

} // namespace verolux::cups
