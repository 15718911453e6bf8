#include "agent/reports/cups/CupsPrinters.h"

#include "agent/reports/cups/CupsError.h"
#include "agent/reports/cups/Spooler_windows.h"

#include <winspool.h>

#include <algorithm>
#include <cwchar>
#include <utility>

namespace verolux::cups {
namespace {

using win::Utf8;
using win::Wide;

// The spooler's status bits as CUPS names printer-state-reasons.
constexpr std::pair<DWORD, const char*> kReasons[] = {
    {PRINTER_STATUS_PAUSED, "paused"},
    {PRINTER_STATUS_ERROR, "other-error"},
    {PRINTER_STATUS_PENDING_DELETION, "deactivated"},
    {PRINTER_STATUS_PAPER_JAM, "media-jam-error"},
    {PRINTER_STATUS_PAPER_OUT, "media-empty-error"},
    {PRINTER_STATUS_MANUAL_FEED, "media-needed"},
    {PRINTER_STATUS_PAPER_PROBLEM, "media-empty-warning"},
    {PRINTER_STATUS_OFFLINE, "offline-report"},
    {PRINTER_STATUS_OUTPUT_BIN_FULL, "output-area-full-error"},
    {PRINTER_STATUS_NOT_AVAILABLE, "shutdown"},
    {PRINTER_STATUS_TONER_LOW, "toner-low-warning"},
    {PRINTER_STATUS_NO_TONER, "toner-empty-error"},
    {PRINTER_STATUS_USER_INTERVENTION, "other-error"},
    {PRINTER_STATUS_OUT_OF_MEMORY, "other-error"},
    {PRINTER_STATUS_DOOR_OPEN, "door-open-error"},
    {PRINTER_STATUS_SERVER_UNKNOWN, "other-error"},
};

// Bits that keep jobs from printing until someone acts: CUPS's stopped queue.
constexpr DWORD kStopped = PRINTER_STATUS_PAUSED | PRINTER_STATUS_ERROR | PRINTER_STATUS_PENDING_DELETION |
                           PRINTER_STATUS_PAPER_JAM | PRINTER_STATUS_PAPER_OUT | PRINTER_STATUS_OFFLINE |
                           PRINTER_STATUS_NOT_AVAILABLE | PRINTER_STATUS_NO_TONER |
                           PRINTER_STATUS_USER_INTERVENTION | PRINTER_STATUS_DOOR_OPEN;
constexpr DWORD kBusy = PRINTER_STATUS_PRINTING | PRINTER_STATUS_PROCESSING | PRINTER_STATUS_BUSY |
                        PRINTER_STATUS_WARMING_UP | PRINTER_STATUS_INITIALIZING | PRINTER_STATUS_IO_ACTIVE;

std::string DefaultPrinter() {
    DWORD size = 0;
    GetDefaultPrinterW(nullptr, &size);
    if (size == 0) return {};
    std::wstring name(size, L'\0');
    if (!GetDefaultPrinterW(name.data(), &size)) return {};
    name.resize(wcsnlen(name.c_str(), name.size()));
    return Utf8(name);
}

bool SameName(const std::string& a, const std::string& b) {
    return CompareStringOrdinal(Wide(a).c_str(), -1, Wide(b).c_str(), -1, TRUE) == CSTR_EQUAL;
}

PrinterInfo Describe(const PRINTER_INFO_2W& info, const std::string& defaultName) {
    PrinterInfo p;
    p.name = Utf8(info.pPrinterName ? info.pPrinterName : L"");
    p.description = Utf8(info.pComment ? info.pComment : L"");
    p.location = Utf8(info.pLocation ? info.pLocation : L"");
    p.isDefault = !defaultName.empty() && SameName(p.name, defaultName);
    DWORD status = info.Status;
    // "Use printer offline" in the printer's window holds jobs like a paused queue.
    if (info.Attributes & PRINTER_ATTRIBUTE_WORK_OFFLINE) status |= PRINTER_STATUS_OFFLINE;
    for (const auto& [bit, reason] : kReasons)
        if ((status & bit) &&
            std::find(p.stateReasons.begin(), p.stateReasons.end(), reason) == p.stateReasons.end())
            p.stateReasons.emplace_back(reason);
    p.state = (status & kStopped)                  ? PrinterState::Stopped
              : (status & kBusy) || info.cJobs > 0 ? PrinterState::Printing
                                                   : PrinterState::Idle;
    p.acceptingJobs = !(status & PRINTER_STATUS_PENDING_DELETION);

    const std::wstring name = info.pPrinterName ? info.pPrinterName : L"";
    const std::wstring port = info.pPortName ? info.pPortName : L"";
    p.color = DeviceCapabilitiesW(name.c_str(), port.c_str(), DC_COLORDEVICE, nullptr, nullptr) == 1;
    p.duplex = DeviceCapabilitiesW(name.c_str(), port.c_str(), DC_DUPLEX, nullptr, nullptr) == 1;
    for (const win::Paper& paper : win::PapersOf(name, port))
        p.media.push_back({paper.name, paper.widthHmm / 100.0, paper.heightHmm / 100.0, paper.text});
    for (const win::Bin& bin : win::BinsOf(name, port))
        p.trays.push_back({bin.keyword, bin.text});
    // The range of sizes the driver takes in dmPaperWidth/dmPaperLength, in tenths of a millimetre
    // (LOWORD the width).
    const LONG min = DeviceCapabilitiesW(name.c_str(), port.c_str(), DC_MINEXTENT, nullptr, nullptr);
    const LONG max = DeviceCapabilitiesW(name.c_str(), port.c_str(), DC_MAXEXTENT, nullptr, nullptr);
    if (min > 0 && max > 0 && LOWORD(max) > 0 && HIWORD(max) > 0 && LOWORD(max) >= LOWORD(min) &&
        HIWORD(max) >= HIWORD(min)) {
        p.customMinWidthMm = LOWORD(min) / 10.0;
        p.customMinHeightMm = HIWORD(min) / 10.0;
        p.customMaxWidthMm = LOWORD(max) / 10.0;
        p.customMaxHeightMm = HIWORD(max) / 10.0;
    }
    return p;
}

bool Fail(std::string* error, const std::string& why) {
    if (error) *error = why;
    return false;
}

} // namespace

bool ListPrinters(std::vector<PrinterInfo>* printers, std::string* error) {
    printers->clear();
    const DWORD flags = PRINTER_ENUM_LOCAL | PRINTER_ENUM_CONNECTIONS;
    DWORD needed = 0, count = 0;
    std::vector<BYTE> buffer;
    // The list may grow between the two calls; ask again with the new size.
    for (int attempt = 0; attempt < 3; ++attempt) {
        if (EnumPrintersW(flags, nullptr, 2, buffer.empty() ? nullptr : buffer.data(), DWORD(buffer.size()),
                          &needed, &count))
            break;
        const DWORD code = GetLastError();
        if (code != ERROR_INSUFFICIENT_BUFFER)
            return Fail(error, "cannot list the printers: " + win::ErrorText(code));
        buffer.resize(needed);
        count = 0;
    }
    if (count > 0 && buffer.empty()) return Fail(error, "cannot list the printers: the list kept changing");
    const std::string defaultName = DefaultPrinter();
    const auto* infos = reinterpret_cast<const PRINTER_INFO_2W*>(buffer.data());
    for (DWORD i = 0; i < count; ++i)
        if (infos[i].pPrinterName) printers->push_back(Describe(infos[i], defaultName));
    return true;
}

bool QueryPrinter(const std::string& name, PrinterInfo* printer, std::string* error) {
    win::Printer handle;
    if (!handle.open(name)) {
        const DWORD code = GetLastError();
        return Fail(error, code == ERROR_INVALID_PRINTER_NAME
                               ? "printer \"" + name + "\" does not exist"
                               : "printer \"" + name + "\": " + win::ErrorText(code));
    }
    DWORD needed = 0;
    GetPrinterW(handle.handle(), 2, nullptr, 0, &needed);
    std::vector<BYTE> buffer(needed);
    if (needed == 0 || !GetPrinterW(handle.handle(), 2, buffer.data(), needed, &needed))
        return Fail(error, "printer \"" + name + "\": " + win::ErrorText(GetLastError()));
    *printer = Describe(*reinterpret_cast<const PRINTER_INFO_2W*>(buffer.data()), DefaultPrinter());
    return true;
}

// The driver's names come with the papers and bins themselves.
void AddDisplayNames(PrinterInfo&) {}

bool ResolvePrinter(const std::string& requested, std::string* name, PrintError* error) {
    if (requested.empty()) {
        const std::string fallback = DefaultPrinter();
        if (!fallback.empty()) {
            *name = fallback;
            return true;
        }
        return !win::SpoolerAnswers() ? FailWith(error, PrintFailure::SchedulerDown, kSchedulerDown)
                                      : FailWith(error, PrintFailure::NoDefaultPrinter,
                                                 "no printer: none named and no system default printer");
    }
    win::Printer handle;
    if (handle.open(requested)) {
        *name = requested;
        return true;
    }
    const DWORD code = GetLastError();
    if (code == RPC_S_SERVER_UNAVAILABLE || code == EPT_S_NOT_REGISTERED || !win::SpoolerAnswers())
        return FailWith(error, PrintFailure::SchedulerDown, kSchedulerDown);
    return code == ERROR_INVALID_PRINTER_NAME
               ? FailWith(error, PrintFailure::NoSuchPrinter, "printer \"" + requested + "\" does not exist")
               : FailWith(error, PrintFailure::Failed,
                          "printer \"" + requested + "\": " + win::ErrorText(code));
}

} // namespace verolux::cups
