#pragma once

#include "common/RequestRules.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace verolux {

// Limits of a job's print options.
inline constexpr int kMaxCopies = 999;
inline constexpr std::size_t kMaxPageRangesLength = 256;

enum class Duplex { None, Long, Short };

// The paper a job asks for: by name (the printer's PWG name or its driver's name for it), or by size.
struct PaperChoice {
    std::string name;
    double widthMm = 0, heightMm = 0; // both > 0 when asked by size
    bool empty() const { return name.empty() && widthMm <= 0; }
    friend bool operator==(const PaperChoice&, const PaperChoice&) = default;
};
inline constexpr double kMaxPaperMm = 10000;
inline constexpr std::size_t kMaxChoiceNameLength = 256;

// What a print request's `verolux` object asks of the print.
struct JobOptions {
    int copies = 1;
    std::optional<Duplex> duplex; // absent: as the report's print options have it (one-sided)
    std::string pages;            // "1-3,5"; empty: every page
    std::string tray = {};  // an input tray of the printer (keyword or its name); empty: the printer's own
    PaperChoice paper = {}; // empty: the template's paper
    friend bool operator==(const JobOptions&, const JobOptions&) = default;
};

// A raw job: printer commands sent unchanged to one queue, never to another.
struct RawPrint {
    std::string printer;
    std::string bytes; // as the printer gets them (text already in its encoding)
};

enum class Fit { Printer, Actual, Fit, Fill };

// A document job: a PDF or a picture, by URL or as bytes, printed with the job options.
struct DocumentPrint {
    std::string url;     // downloaded when given
    std::string bytes;   // else the document itself
    std::string type;    // the declared type ("application/pdf", "image/png", "image/jpeg"), may be ""
    std::string printer; // "" for the default printer
    Fit fit = Fit::Printer;
    JobOptions options;    // copies, duplex, pages (PDFs), tray, paper
    bool upload = false;   // action "pdf": posted as the PDF body instead of printed
    bool preview = false;  // action "preview": shown in a window, printed from there by the user
    std::string reportAdd; // where it is posted (the job's reportId names it)
};

// What one text message from a page is. A message without the key kExtensionKey is a print request
// and is handled exactly as before.
struct PageMessage {
    enum class Kind {
        Request,  // no `verolux` key (or no JSON object): a print request as specified
        Hello,    // "verolux": "hello"
        Printers, // "verolux": "printers"
        Job,      // "verolux": {options}: a print request whose sender hears how it goes
        BadJob,   // "verolux": {options} that cannot be honoured: `error` says why
        Unknown,  // any other `verolux` value: `error` says why
        Cancel,   // "verolux": {"cancel": jobId}: `jobId` names the page's job to take back
        Raw,      // "verolux": {"raw": ...}: printer commands, a job of its own
        Document, // "verolux": {"document": ...}: a PDF or picture, a job of its own
    };
    Kind kind = Kind::Request;
    std::string jobId;      // Job, BadJob, Cancel: the page's own name for the job ("" when it gave none)
    std::string reportId;   // Job, BadJob: the request's `reportId` as text, "" when missing
    JobOptions options;     // Job
    RawPrint raw;           // Raw
    DocumentPrint document; // Document
    std::string error;      // BadJob, Unknown
    // Job: "Name: value" lines for the job's own template download and PDF upload. Secrets: never
    // logged or kept (the request goes on without them, WithoutJobHeaders).
    std::vector<std::string> headers;
};

// Reads what a message is. Never throws: a text that is no JSON object is a print request, and the
// print procedure reports it as it always has.
PageMessage ReadPageMessage(std::string_view text);

// True when `pages` is a list of page numbers and ranges ("1-3,5,8-"), each number from 1.
bool ValidPageRanges(std::string_view pages);

} // namespace verolux
