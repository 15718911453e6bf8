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

// What a print request's `verolux` object asks of the print.
struct JobOptions {
    int copies = 1;
    std::optional<Duplex> duplex; // absent: as the report's print options have it (one-sided)
    std::string pages;            // "1-3,5"; empty: every page
    friend bool operator==(const JobOptions&, const JobOptions&) = default;
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
    };
    Kind kind = Kind::Request;
    std::string jobId;    // Job, BadJob, Cancel: the page's own name for the job ("" when it gave none)
    std::string reportId; // Job, BadJob: the request's `reportId` as text, "" when missing
    JobOptions options;   // Job
    std::string error;    // BadJob, Unknown
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
