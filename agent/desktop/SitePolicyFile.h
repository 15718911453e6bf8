#pragma once

#include <filesystem>

namespace verolux {

// The administrator's site rules, which users cannot loosen (SiteAccess reads them):
// /etc/verolux/policy.ini, or the file VEROLUX_POLICY names.
std::filesystem::path PolicyFilePath();

} // namespace verolux
