#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

// Reading and editing the text of an INI file the way the platform's profile-string functions do:
// section and key names match without regard to letter case, blanks around names and values are
// ignored, the first match wins, values are cut to kMaxValueBytes. Pure: no files here.
namespace mINI {

inline constexpr std::size_t kMaxValueBytes = 1024;

// The value stored under [section] key, or "" when the section or key is missing.
std::string LookupValue(std::string_view iniText, std::string_view section, std::string_view key);

// The text with [section] key set to value: an existing line is replaced in place, a missing key is
// added at the end of its section, a missing section at the end of the file. Every other line stays
// byte for byte as it was.
std::string ReplaceValue(std::string_view iniText, std::string_view section, std::string_view key,
                         std::string_view value);

// Every (section, key) named in the text, in file order, as the lines spell them. Lines before the
// first section, lines without "=" and comment lines (";" or "#") name nothing.
struct IniName {
    std::string section;
    std::string key;
};
std::vector<IniName> ListNames(std::string_view iniText);

// Every key of [section] with its value as LookupValue reads it, in file order; a repeated key
// counts once, with its first value. Lines without "=" and comment lines (";", "#") are skipped.
std::vector<std::pair<std::string, std::string>> SectionEntries(std::string_view iniText,
                                                                std::string_view section);

// The text without the line of [section] key; every other line stays byte for byte.
std::string RemoveKey(std::string_view iniText, std::string_view section, std::string_view key);

// Cuts text to at most maxBytes without splitting a UTF-8 character.
std::string CutUtf8(std::string_view text, std::size_t maxBytes);

} // namespace mINI
