#pragma once

#include <filesystem>
#include <string>

namespace verolux {

// A program folder as 16 hex digits (FNV-1a of its absolute path, case folded): names of system objects
// that belong to one folder (a mutex, a pipe) may hold no backslash and only so many characters.
std::wstring FolderKey(const std::filesystem::path& programFolder);

} // namespace verolux
