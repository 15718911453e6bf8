#include "demo/backend/TemplateUpload.h"

#include "demo/backend/FileNames.h"

#include <filesystem>

namespace demo {

std::optional<TemplateUploadTarget> namedTemplateUpload(std::string_view urlPath, const UploadBody& body,
                                                        const std::string& templatesDir) {
    if (!urlPath.starts_with(kTemplateUploadPrefix)) return std::nullopt;
    TemplateUploadTarget target;
    target.name = std::string(urlPath.substr(kTemplateUploadPrefix.size()));
    std::error_code ec;
    if (!isPlainFileName(target.name) || !target.name.ends_with(".grf")) {
        target.error = "not a template name: " + target.name;
        target.status = 400;
    } else if (!std::filesystem::is_regular_file(templatesDir + "/" + target.name, ec)) {
        target.error = "no template " + target.name;
        target.status = 404;
    } else if (body.extra != md5Hex(body.content)) {
        // st2 is what the pages will send as reportmd5: a wrong one would make every print fetch
        // the template again.
        target.error = "st2 is not the MD5 of the template";
        target.status = 400;
    }
    return target;
}

} // namespace demo
