#include "agent/reports/cups/CupsPrinters.h"

#include "agent/reports/cups/CupsError.h"
#include "agent/reports/cups/Spooler_windows.h"

#include <winspool.h>

namespace verolux::cups {

bool ListPrinters(std::vector<PrinterInfo>* printers, std::string* error) {
    printers->clear();
    if (error) *error = "listing printers is not done on Windows yet";
    return false;
}

bool QueryPrinter(const std::string& name, PrinterInfo* printer, std::string* error) {
    (void)printer;
    if (error) *error = "printer \"" + name + "\": not done on Windows yet";
    return false;
}

void AddDisplayNames(PrinterInfo&) {}

bool ResolvePrinter(const std::string& requested, std::string* name, std::string* error) {
    (void)requested;
    (void)name;
    if (error) *error = "printing is not done on Windows yet";
    return false;
}

} // namespace verolux::cups
