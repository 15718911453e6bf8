#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace verolux {

// The whole file as bytes; "" when it is missing or cannot be read.
std::string ReadWholeFile(const std::filesystem::path& path);

// Writes content to a temporary file beside path, flushes it and renames it over path, so readers
// see the old file or the new one, never a half-written one. Returns false on any failure (the old
// file is then untouched).
bool ReplaceFileAtomically(const std::filesystem::path& path, std::string_view content);

} // namespace verolux
