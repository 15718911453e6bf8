#pragma once

#include "common/Http.h"

#include <filesystem>
#include <string>
#include <string_view>

namespace verolux {

// { "st1":"BASE64","st0":"REPORTID","st2":""}, the PDF upload body.
std::string ReportFileBody(std::string_view base64, std::string_view reportId);

// { "st1":"BASE64","st0":"REPORTID","st2":"MD5"}, the designer's template upload body.
std::string TemplateUploadBody(std::string_view base64, std::string_view reportId, std::string_view md5);

// Uploads the whole file as Base64 with its report id to address (used unchanged) and returns the
// answer's HTTP status; the answer itself is not read. Throws when the file cannot be read or is
// empty (std::runtime_error) or the POST fails or is aborted (HttpError). `headers`: a followed
// job's own ("Name: value").
long PostReportFile(const std::filesystem::path& filePath, const std::string& address,
                    const std::string& reportId, const TransferPace& pace = {},
                    const std::vector<std::string>& headers = {});

} // namespace verolux
