#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace demo {

// A name that stays inside the folder it is joined to: not empty, not "." or "..", no separator of
// any platform, no drive colon, no control character.
bool isPlainFileName(std::string_view name);

// An uploaded report id made usable as a file name: unsafe characters become "_". Empty when
// nothing usable is left.
std::string sanitiseFileName(std::string_view name);

// Content type by file extension, for the few kinds the demo serves.
std::string contentTypeFor(std::string_view name);

std::optional<std::string> readWholeFile(const std::string& path);

// Writes through a temporary file and a rename, so readers never see half a file.
bool writeFileAtomically(const std::string& path, std::string_view bytes);

struct FileEntry {
    std::string name;
    std::uintmax_t size = 0;
    std::int64_t mtimeMs = 0;
};

// Regular files of `dir` whose names end with `suffix` (all when empty), sorted by name.
std::vector<FileEntry> listFiles(const std::string& dir, std::string_view suffix = {});

// MD5 of `bytes` as 32 upper-case hexadecimal digits.
std::string md5Hex(std::string_view bytes);

// Percent-encodes everything but unreserved characters, for URLs built from file names.
std::string urlEncode(std::string_view text);

} // namespace demo
