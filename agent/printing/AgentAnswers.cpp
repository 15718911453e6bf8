#include "agent/printing/AgentAnswers.h"

#include "common/JsNumber.h"
#include "common/JsonEscape.h"

namespace verolux {
namespace {

void AppendField(std::string& out, const char* name, const std::string& text) {
    out += ",\"";
    out += name;
    out += "\":";
    AppendJsonString(out, text);
}

void AppendField(std::string& out, const char* name, bool value) {
    out += ",\"";
    out += name;
    out += value ? "\":true" : "\":false";
}

void AppendField(std::string& out, const char* name, double value) {
    out += ",\"";
    out += name;
    out += "\":";
    out += JsNumberText(value);
}

} // namespace

std::string HelloAnswer(const AgentFacts& facts) {
    std::string out = R"({"verolux":"hello","agent":"Verolux")";
    AppendField(out, "version", facts.version);
    out += R"(,"protocol":)" + std::to_string(kExtensionProtocol);
    out +=
        R"(,"features":["hello","printers","jobs","copies","duplex","pages","cancel","headers","raw","documents"])";
    out += R"(,"port":)" + std::to_string(facts.port);
    AppendField(out, "platform", facts.platform);
    return out + '}';
}

std::string PrintersAnswer(const std::vector<PrinterFacts>& printers) {
    std::string out = R"({"verolux":"printers","printers":[)";
    for (std::size_t i = 0; i < printers.size(); ++i) {
        const PrinterFacts& p = printers[i];
        out += i ? ",{" : "{";
        out += R"("name":)";
        AppendJsonString(out, p.name);
        AppendField(out, "description", p.description);
        AppendField(out, "location", p.location);
        AppendField(out, "isDefault", p.isDefault);
        AppendField(out, "state", p.state);
        AppendField(out, "stateReason", p.stateReason);
        AppendField(out, "acceptingJobs", p.acceptingJobs);
        AppendField(out, "color", p.color);
        AppendField(out, "duplex", p.duplex);
        out += R"(,"media":[)";
        for (std::size_t m = 0; m < p.media.size(); ++m) {
            if (m) out += ',';
            AppendJsonString(out, p.media[m]);
        }
        out += R"(],"papers":[)";
        for (std::size_t m = 0; m < p.papers.size(); ++m) {
            out += m ? R"(,{"name":)" : R"({"name":)";
            AppendJsonString(out, p.papers[m].name);
            AppendField(out, "text", p.papers[m].text);
            AppendField(out, "widthMm", p.papers[m].widthMm);
            AppendField(out, "heightMm", p.papers[m].heightMm);
            out += '}';
        }
        out += R"(],"trays":[)";
        for (std::size_t t = 0; t < p.trays.size(); ++t) {
            out += t ? R"(,{"name":)" : R"({"name":)";
            AppendJsonString(out, p.trays[t].name);
            AppendField(out, "text", p.trays[t].text);
            out += '}';
        }
        out += ']';
        if (p.customMaxWidthMm > 0) {
            out += R"(,"customPaper":{"minWidthMm":)" + JsNumberText(p.customMinWidthMm);
            AppendField(out, "minHeightMm", p.customMinHeightMm);
            AppendField(out, "maxWidthMm", p.customMaxWidthMm);
            AppendField(out, "maxHeightMm", p.customMaxHeightMm);
            out += '}';
        }
        out += '}';
    }
    return out + "]}";
}

std::string ErrorAnswer(const std::string& code, const std::string& message) {
    std::string out = R"({"verolux":"error")";
    AppendField(out, "code", code);
    AppendField(out, "message", message);
    return out + '}';
}

} // namespace verolux

namespace verolux {

std::string CancelRefusedAnswer(const std::string& jobId, const std::string& message) {
    std::string out = R"({"verolux":"error")";
    AppendField(out, "code", std::string("not-cancellable"));
    AppendField(out, "jobId", jobId);
    AppendField(out, "message", message);
    return out + '}';
}

} // namespace verolux
