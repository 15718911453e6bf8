#pragma once

#include <string>
#include <vector>

namespace verolux {

// Version of the `verolux` extension a page can check in the hello answer.
inline constexpr int kExtensionProtocol = 1;

struct AgentFacts {
    std::string version; // "1.2.3"
    int port = 0;        // where the agent listens
    std::string platform;
};

// One print queue as the page sees it.
struct PrinterFacts {
    std::string name, description, location;
    bool isDefault = false;
    std::string state; // "idle", "printing" or "stopped"
    std::string stateReason;
    bool acceptingJobs = false;
    bool color = false;
    bool duplex = false;
    std::vector<std::string> media; // PWG names, e.g. "iso_a4_210x297mm"
    struct Paper {
        std::string name, text; // PWG name; the driver's name for it ("A4", "信封 DL")
        double widthMm = 0, heightMm = 0;
    };
    std::vector<Paper> papers;
    struct Tray {
        std::string name, text; // the keyword jobs use ("tray-2"); the driver's name ("纸盒 2")
    };
    std::vector<Tray> trays;
    // Custom paper sizes it takes, in mm; all 0 when none.
    double customMinWidthMm = 0, customMinHeightMm = 0, customMaxWidthMm = 0, customMaxHeightMm = 0;
};

// {"verolux":"hello","agent":"Verolux","version":…,"protocol":1,"features":[…],"port":…,"platform":…}
std::string HelloAnswer(const AgentFacts& facts);

// {"verolux":"printers","printers":[{…}, …]}
std::string PrintersAnswer(const std::vector<PrinterFacts>& printers);

// {"verolux":"error","code":…,"message":…}: a question the agent cannot answer.
std::string ErrorAnswer(const std::string& code, const std::string& message);

// {"verolux":"error","code":"not-cancellable","jobId":…,"message":…}: a cancel that found no
// unfinished job of that id sent on this connection.
std::string CancelRefusedAnswer(const std::string& jobId, const std::string& message);

} // namespace verolux
