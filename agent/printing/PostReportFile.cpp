#include "agent/printing/PostReportFile.h"

#include "agent/reports/encoder/modBase64.h"
#include "common/Http.h"
#include "common/JsonEscape.h"

namespace verolux {
namespace {

std::string UploadBody(std::string_view base64, std::string_view reportId, std::string_view st2) {
    std::string escapedId = JsonEscape(reportId);
    std::string escapedSt2 = JsonEscape(st2);
    std::string body;
    body.reserve(base64.size() + escapedId.size() + escapedSt2.size() + 32);
    body.append("{ \"st1\":\"").append(base64);
    body.append("\",\"st0\":\"").append(escapedId);
    body.append("\",\"st2\":\"").append(escapedSt2).append("\"}");
    return body;
}

} // namespace

std::string ReportFileBody(std::string_view base64, std::string_view reportId) {
    return UploadBody(base64, reportId, "");
}

std::string TemplateUploadBody(std::string_view base64, std::string_view reportId, std::string_view md5) {
    return UploadBody(base64, reportId, md5);
}

long PostReportFile(const std::filesystem::path& filePath, const std::string& address,
                    const std::string& reportId, const TransferPace& pace,
                    const std::vector<std::string>& headers) {
    std::string body = ReportFileBody(modBase64::EncodeFile(filePath), reportId);
    long status = 0;
    PostJson(address, body, /*maxAnswerBytes=*/0, pace, &status, headers); // only the status is read
    return status;
}

} // namespace verolux
