#include "agent/printing/PdfRetention.h"

#include <system_error>

namespace verolux {

bool UploadAccepted(long httpStatus) {
    return httpStatus >= 200 && httpStatus < 300;
}

void SettleUploadedPdf(const std::filesystem::path& pdf, long httpStatus) {
    std::error_code ec;
    if (UploadAccepted(httpStatus)) std::filesystem::remove(pdf, ec);
}

void RemoveOldFailedPdfs(const std::filesystem::path& folder, std::filesystem::file_time_type now) {
    std::error_code ec;
    for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        const std::filesystem::path& path = it->path();
        std::error_code fileEc;
        if (path.extension() != ".pdf" || !it->is_regular_file(fileEc)) continue;
        const auto written = std::filesystem::last_write_time(path, fileEc);
        if (!fileEc && now - written > kKeepFailedPdfs) std::filesystem::remove(path, fileEc);
    }
}

} // namespace verolux
