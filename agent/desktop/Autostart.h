#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Starting the agent at login through XDG autostart entries: the user's own entry
// (~/.config/autostart/verolux.desktop) overrides a machine-wide one of the same name (the package's,
// in /etc/xdg/autostart). The rules are pure; reading and writing the files is Autostart_linux.cpp.
namespace verolux::autostart {

inline constexpr const char* kEntryName = "verolux.desktop";

// An entry starts its program unless its [Desktop Entry] group says Hidden=true or
// X-GNOME-Autostart-enabled=false.
bool EntryEnabled(std::string_view entryText);

// The texts of the entries that exist.
struct Entries {
    std::optional<std::string> user;
    std::optional<std::string> machine;
};

// On when the user's entry starts the program, or, without one, when the machine-wide entry does.
bool IsOn(const Entries& entries);

enum class Change {
    Nothing,
    WriteUserEntry,   // the user's own entry that runs the agent
    WriteHiddenEntry, // a user entry that hides the machine-wide one
    RemoveUserEntry,  // the machine-wide entry (or none) applies again
};

// What turning start at login on or off changes, touching only the user's entry.
Change ChangeFor(const Entries& entries, bool on);

// The user's entry running `command` (already quoted for Exec), or hiding the machine-wide one.
std::string UserEntryText(std::string_view command);
std::string HiddenEntryText();

// `program` as one argument of an Exec line; nullopt for a path that cannot be written there
// (quotes, backslashes, "$", "`", line breaks).
std::optional<std::string> ExecArgument(std::string_view program);

// --- the files (Autostart_linux.cpp) ---

struct Places {
    std::filesystem::path user;                 // $XDG_CONFIG_HOME/autostart/verolux.desktop
    std::vector<std::filesystem::path> machine; // each of $XDG_CONFIG_DIRS (default /etc/xdg), in order
};
Places PlacesFromEnvironment();
Entries ReadEntries(const Places& places); // the first machine-wide entry found counts

// What the user's entry runs: the starter `verolux` where it is on the PATH (the package),
// otherwise the launcher beside the agent in its program folder.
std::filesystem::path StartCommand(const std::filesystem::path& programFolder);

// Turns start at login on or off; false with the reason when the user's entry cannot be written.
bool SetOn(const Places& places, bool on, const std::filesystem::path& command, std::string* error);

} // namespace verolux::autostart
