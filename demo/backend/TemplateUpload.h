#pragma once

#include "demo/backend/UploadBody.h"

#include <optional>
#include <string>
#include <string_view>

namespace demo {

// A template saved in the designer and posted to /upload/template/<name> becomes the backend's new
// version of <name>: served and listed with its new MD5 from then on.
inline constexpr std::string_view kTemplateUploadPrefix = "/upload/template/";

struct TemplateUploadTarget {
    std::string name;  // the template it replaces
    std::string error; // why it is refused (never the word the designer looks for); empty when taken
    int status = 200;  // the answer's status when refused
};

// The template an upload path names, checked against the body and the templates the backend serves.
// nullopt when the path names none: such an upload is stored under its report id.
std::optional<TemplateUploadTarget> namedTemplateUpload(std::string_view urlPath, const UploadBody& body,
                                                        const std::string& templatesDir);

} // namespace demo
