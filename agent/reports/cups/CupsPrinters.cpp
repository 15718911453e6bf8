#include "agent/reports/cups/CupsPrinters.h"

#include "agent/reports/cups/CupsError.h"
#include "agent/reports/cups/PpdTexts.h"

#include <cups/cups.h>
#include <unistd.h>

#include <cmath>
#include <cstring>
#include <fstream>
#include <memory>
#include <sstream>

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
                pwg_media_t* size = pwgMediaForPWG(media.c_str());
                if (!size) continue;
                // custom_min_… / custom_max_… bound the custom sizes; they are no paper of their own.
                if (media.starts_with("custom_min_")) {
                    p.customMinWidthMm = size->width / 100.0;
                    p.customMinHeightMm = size->length / 100.0;
                } else if (media.starts_with("custom_max_")) {
                    p.customMaxWidthMm = size->width / 100.0;
                    p.customMaxHeightMm = size->length / 100.0;
                } else {
                    p.media.push_back({media, size->width / 100.0, size->length / 100.0, media});
                }
            }
        } else if (name == "media-default") {
            p.defaultMedia = Text(attr);
        } else if (name == "printer-resolution-default") {
            ipp_res_t units = IPP_RES_PER_INCH;
            int yres = 0;
            const int xres = ippGetResolution(attr, 0, &yres, &units);
            p.resolutionDpi = units == IPP_RES_PER_CM ? static_cast<int>(std::lround(xres * 2.54)) : xres;
        } else if (name == "media-source-supported") {
            for (int i = 0; i < ippGetCount(attr); ++i)
                p.trays.push_back({Text(attr, i), Text(attr, i)});
        }
    }
    return attr;
}

const char* const kWanted[] = {"printer-name",
                               "printer-info",
                               "printer-location",
                               "printer-state",
                               "printer-state-message",
                               "printer-state-reasons",
                               "printer-is-accepting-jobs",
                               "color-supported",
                               "sides-supported",
                               "media-supported",
                               "media-source-supported",
                               "media-default",
                               "printer-resolution-default"};

// A file the scheduler serves (a PPD, a strings file), read whole; "" when it has none.
std::string FetchText(const std::string& resource) {
    char path[1024];
    const int fd = cupsTempFd(path, sizeof path);
    if (fd < 0) return {};
    std::string text;
    if (cupsGetFd(CUPS_HTTP_DEFAULT, resource.c_str(), fd) == HTTP_STATUS_OK) {
        std::ifstream in(path, std::ios::binary);
        std::ostringstream all;
        all << in.rdbuf();
        text = all.str();
    }
    close(fd);
    unlink(path);
    return text;
}

// Names for people: the scheduler's strings file maps each tray keyword to the driver's text, which
// leads to the driver's own choice and its Chinese translation; papers go by their PPD names.
void AddDriverNames(PrinterInfo& p) {
    if (p.trays.empty() && p.media.empty()) return;
    const std::string ppd = FetchText("/printers/" + p.name + ".ppd");
    if (ppd.empty()) return;
    if (!p.trays.empty()) {
        const std::map<std::string, std::string> strings =
            ReadStringsFile(FetchText("/strings/" + p.name + ".strings"));
        const std::map<std::string, PpdChoiceText> slots = ReadPpdChoices(ppd, "InputSlot");
        for (Tray& t : p.trays) {
            const auto own = strings.find("media-source." + t.name);
            if (own == strings.end()) continue;
            t.text = own->second;
            for (const auto& [choice, texts] : slots)
                if (texts.text == own->second && !texts.chinese.empty()) t.text = texts.chinese;
        }
    }
    const std::map<std::string, PpdChoiceText> sizes = ReadPpdChoices(ppd, "PageSize");
    for (MediaSize& m : p.media) {
        const pwg_media_t* pwg = pwgMediaForPWG(m.name.c_str());
        if (!pwg || !pwg->ppd) continue;
        const auto choice = sizes.find(pwg->ppd);
        m.text = choice != sizes.end() && !DisplayText(choice->second).empty() ? DisplayText(choice->second)
                                                                               : pwg->ppd;
    }
}

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
        AddDriverNames(p);
        printers->push_back(std::move(p));
    }
    return true;
}

void AddDisplayNames(PrinterInfo& printer) {
    AddDriverNames(printer);
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

bool ResolvePrinter(const std::string& requested, std::string* name, PrintError* error) {
    std::unique_ptr<cups_dest_t, DestFree> dest{
        cupsGetNamedDest(CUPS_HTTP_DEFAULT, requested.empty() ? nullptr : requested.c_str(), nullptr)};
    if (!dest) {
        if (!SchedulerAnswers()) return FailWith(error, PrintFailure::SchedulerDown, kSchedulerDown);
        if (requested.empty())
            return FailWith(error, PrintFailure::NoDefaultPrinter,
                            "no printer: none named and no system default printer");
        return FailWith(error, PrintFailure::NoSuchPrinter, "printer \"" + requested + "\" does not exist");
    }
    *name = dest->name;
    return true;
}

} // namespace verolux::cups
