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

// The two ends of such a replacement for writers of their own. Begin makes the temporary file beside
// path (".NAME.XXXXXX", mode 0600; fd -1 when it cannot be made) and holds an exclusive flock on it
// until commit, which closes it and, when ok and the close succeeded, renames it over path, otherwise
// removes it. Commit is true when path now holds the new content.
struct Replacement {
    std::string temporary;
    int fd = -1;
};
Replacement BeginReplacement(const std::filesystem::path& path);
bool CommitReplacement(const Replacement& replacement, bool ok, const std::filesystem::path& path);

// Removes the temporary files of replacements in folder that no live writer holds: those a killed
// program left behind. Returns how many it removed.
int RemoveStaleTemporaries(const std::filesystem::path& folder);

} // namespace verolux
