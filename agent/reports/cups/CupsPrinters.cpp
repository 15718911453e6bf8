#include "agent/reports/cups/CupsPrinters.h"

#include "agent/reports/cups/CupsError.h"

#include <cups/cups.h>

#include <cstring>
#include <memory>

namespace verolux::cups {

namespace {

struct IppFree {
    void operator()(ipp_t* ipp) const { ippDelete(ipp); }
};
struct DestFree {
    void operator()(cups_dest_t* dest) const { cupsFreeDests(1, dest); }
};

std::string Text(ipp_attribute_t* attr, int element = 0) {
    const char* s = attr ? ippGetString(attr, element, nullptr) : nullptr;
    return s ? s : "";
}

PrinterState StateOf(int ippState) {
    if (ippState == IPP_PSTATE_PROCESSING) return PrinterState::Printing;
    if (ippState == IPP_PSTATE_STOPPED) return PrinterState::Stopped;
    return PrinterState::Idle;
}

// The attributes of one printer group of a CUPS-Get-Printers answer, from `attr` to the next separator.
ipp_attribute_t* ReadPrinter(ipp_t* answer, ipp_attribute_t* attr, PrinterInfo& p) {
    for (; attr && ippGetGroupTag(attr) == IPP_TAG_PRINTER; attr = ippNextAttribute(answer)) {
        const char* n = ippGetName(attr);
        if (!n) continue;
        const std::string_view name(n);
        if (name == "printer-name")
            p.name = Text(attr);
        else if (name == "printer-info")
            p.description = Text(attr);
        else if (name == "printer-location")
            p.location = Text(attr);
        else if (name == "printer-state")
            p.state = StateOf(ippGetInteger(attr, 0));
        else if (name == "printer-state-message")
            p.stateMessage = Text(attr);
        else if (name == "printer-is-accepting-jobs")
            p.acceptingJobs = ippGetBoolean(attr, 0) != 0;
        else if (name == "color-supported")
            p.color = ippGetBoolean(attr, 0) != 0;
        else if (name == "printer-state-reasons") {
            for (int i = 0; i < ippGetCount(attr); ++i)
                if (Text(attr, i) != "none") p.stateReasons.push_back(Text(attr, i));
        } else if (name == "sides-supported") {
            for (int i = 0; i < ippGetCount(attr); ++i)
                if (Text(attr, i).starts_with("two-sided")) p.duplex = true;
        } else if (name == "media-supported") {
            for (int i = 0; i < ippGetCount(attr); ++i) {
                const std::string media = Text(attr, i);
                // custom_min_… / custom_max_… bound the custom sizes; they are no paper of their own.
                if (media.starts_with("custom_min_") || media.starts_with("custom_max_")) continue;
                if (pwg_media_t* size = pwgMediaForPWG(media.c_str()))
                    p.media.push_back({media, size->width / 100.0, size->length / 100.0});
            }
        }
    }
    return attr;
}

const char* const kWanted[] = {
    "printer-name",          "printer-info",          "printer-location",          "printer-state",
    "printer-state-message", "printer-state-reasons", "printer-is-accepting-jobs", "color-supported",
    "sides-supported",       "media-supported"};

std::string DefaultPrinterName() {
    std::unique_ptr<cups_dest_t, DestFree> dest{cupsGetNamedDest(CUPS_HTTP_DEFAULT, nullptr, nullptr)};
    return dest ? dest->name : "";
}

} // namespace

bool ListPrinters(std::vector<PrinterInfo>* printers, std::string* error) {
    ipp_t* request = ippNewRequest(IPP_OP_CUPS_GET_PRINTERS);
    ippAddStrings(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes",
                  int(std::size(kWanted)), nullptr, kWanted);
    std::unique_ptr<ipp_t, IppFree> answer(cupsDoRequest(CUPS_HTTP_DEFAULT, request, "/"));
    // An empty scheduler answers "not found" to this request.
    if (cupsLastError() == IPP_STATUS_ERROR_NOT_FOUND) {
        printers->clear();
        return true;
    }
    if (!answer || cupsLastError() > IPP_STATUS_OK_CONFLICTING) {
        if (error) *error = "cannot list the printers: " + LastError();
        return false;
    }

    const std::string defaultName = DefaultPrinterName();
    printers->clear();
    ipp_attribute_t* attr = ippFirstAttribute(answer.get());
    while (attr) {
        if (ippGetGroupTag(attr) != IPP_TAG_PRINTER) {
            attr = ippNextAttribute(answer.get());
            continue;
        }
        PrinterInfo p;
        attr = ReadPrinter(answer.get(), attr, p);
        if (p.name.empty()) continue;
        p.isDefault = p.name == defaultName;
        printers->push_back(std::move(p));
    }
    return true;
}

bool QueryPrinter(const std::string& name, PrinterInfo* printer, std::string* error) {
    char uri[1024];
    httpAssembleURIf(HTTP_URI_CODING_ALL, uri, sizeof uri, "ipp", nullptr, "localhost", 0, "/printers/%s",
                     name.c_str());
    ipp_t* request = ippNewRequest(IPP_OP_GET_PRINTER_ATTRIBUTES);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr, uri);
    ippAddStrings(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes",
                  int(std::size(kWanted)), nullptr, kWanted);
    std::unique_ptr<ipp_t, IppFree> answer(cupsDoRequest(CUPS_HTTP_DEFAULT, request, "/"));
    if (!answer || cupsLastError() > IPP_STATUS_OK_CONFLICTING) {
        if (error) *error = "printer \"" + name + "\": " + LastError();
        return false;
    }
    ipp_attribute_t* attr = ippFirstAttribute(answer.get());
    while (attr && ippGetGroupTag(attr) != IPP_TAG_PRINTER)
        attr = ippNextAttribute(answer.get());
    PrinterInfo p;
    ReadPrinter(answer.get(), attr, p);
    p.isDefault = !p.name.empty() && p.name == DefaultPrinterName();
    *printer = std::move(p);
    return true;
}

bool ResolvePrinter(const std::string& requested, std::string* name, std::string* error) {
    std::unique_ptr<cups_dest_t, DestFree> dest{
        cupsGetNamedDest(CUPS_HTTP_DEFAULT, requested.empty() ? nullptr : requested.c_str(), nullptr)};
    if (!dest) {
        if (error)
            *error = !SchedulerAnswers() ? kSchedulerDown
                     : requested.empty() ? std::string("no printer: none named and no system default printer")
                                         : "printer \"" + requested + "\" does not exist";
        return false;
    }
    *name = dest->name;
    return true;
}

} // namespace verolux::cups
