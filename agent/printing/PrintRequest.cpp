#include "agent/printing/PrintRequest.h"

#include "common/RequestRules.h"

namespace verolux {

PrintRequest PrintRequest::Read(std::string_view text) {
    PrintRequest req;
    req.m_document = std::make_shared<const JsonDocument>(JsonDocument::Parse(text));
    const JsonDocument& doc = *req.m_document;
    // All ten before anything is decided: a request lacking any of them fails as a whole.
    req.preview = doc.requiredText("preview");
    req.repname = doc.requiredText("repname");
    req.reptype = doc.requiredText("reptype");
    req.reguserno = doc.requiredText("reguserno");
    req.reprintname = doc.requiredText("reprintname");
    req.sdesign = doc.requiredText("sdesign");
    req.reporturl = doc.requiredText("reporturl");
    req.reportmd5 = doc.requiredText("reportmd5");
    req.reportId = doc.requiredText("reportId");
    req.reportAdd = doc.requiredText("reportAdd");
    req.m_rows = doc.requiredArray("repdata", kMaxRequestRows);
    return req;
}

} // namespace verolux
