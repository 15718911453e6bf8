#pragma once

#include <chrono>
#include <filesystem>

namespace verolux {

// Exported PDFs in the template folder: one the backend took (a 2xx answer) has done its job and
// goes at once; one whose upload failed stays this long for a look, then goes.
inline constexpr std::chrono::hours kKeepFailedPdfs{24 * 7};

bool UploadAccepted(long httpStatus);

// Removes the uploaded PDF when the backend took it.
void SettleUploadedPdf(const std::filesystem::path& pdf, long httpStatus);

// Removes the PDFs (files named *.pdf) of the folder last written more than kKeepFailedPdfs before
// now; templates and other files stay. Never fails: what cannot be read or removed stays.
void RemoveOldFailedPdfs(const std::filesystem::path& folder,
                         std::filesystem::file_time_type now = std::filesystem::file_time_type::clock::now());

} // namespace verolux
