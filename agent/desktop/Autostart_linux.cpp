#include "agent/desktop/Autostart.h"

#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <system_error>

namespace verolux::autostart {
namespace fs = std::filesystem;
namespace {

// An environment path only counts when absolute (the XDG rule); otherwise the default applies.
std::optional<fs::path> AbsoluteFromEnv(const char* name) {
    const char* v = std::getenv(name);
    if (!v || v[0] != '/') return std::nullopt;
    return fs::path(v);
}

std::optional<std::string> ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

bool WriteFileAtomically(const fs::path& path, const std::string& text, std::string* error) {
    std::error_code ec;
    fs::create_directories(path.parent_path(), ec);
    if (ec) {
        *error = "cannot create " + path.parent_path().string() + ": " + ec.message();
        return false;
    }
    const fs::path temporary = path.string() + ".new";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out << text;
        out.close();
        if (!out) {
            *error = "cannot write " + temporary.string();
            fs::remove(temporary, ec);
            return false;
        }
    }
    fs::rename(temporary, path, ec);
    if (ec) {
        *error = "cannot write " + path.string() + ": " + ec.message();
        fs::remove(temporary, ec);
        return false;
    }
    return true;
}

} // namespace

Places PlacesFromEnvironment() {
    Places p;
    fs::path config;
    if (auto configHome = AbsoluteFromEnv("XDG_CONFIG_HOME"))
        config = *configHome;
    else if (const char* home = std::getenv("HOME"); home && *home)
        config = fs::path(home) / ".config";
    p.user = config / "autostart" / kEntryName;
    std::string dirs = std::getenv("XDG_CONFIG_DIRS") ? std::getenv("XDG_CONFIG_DIRS") : "";
    std::istringstream list(dirs);
    for (std::string dir; std::getline(list, dir, ':');)
        if (!dir.empty() && dir[0] == '/') p.machine.push_back(fs::path(dir) / "autostart" / kEntryName);
    if (p.machine.empty()) p.machine.push_back(fs::path("/etc/xdg/autostart") / kEntryName);
    return p;
}

Entries ReadEntries(const Places& places) {
    Entries e;
    if (!places.user.is_relative()) e.user = ReadFile(places.user);
    for (const fs::path& m : places.machine)
        if ((e.machine = ReadFile(m))) break;
    return e;
}

fs::path StartCommand(const fs::path& programFolder) {
    const char* path = std::getenv("PATH");
    std::istringstream dirs(path ? path : "");
    for (std::string dir; std::getline(dirs, dir, ':');)
        if (!dir.empty() && ::access((fs::path(dir) / "verolux").c_str(), X_OK) == 0) return "verolux";
    return programFolder / "Kestrane";
}

bool SetOn(const Places& places, bool on, const fs::path& command, std::string* error) {
    if (places.user.is_relative()) {
        *error = "no home folder for the autostart entry";
        return false;
    }
    switch (ChangeFor(ReadEntries(places), on)) {
    case Change::Nothing:
        return true;
    case Change::WriteHiddenEntry:
        return WriteFileAtomically(places.user, HiddenEntryText(), error);
    case Change::WriteUserEntry: {
        const auto exec = ExecArgument(command.string());
        if (!exec) {
            *error = "the path " + command.string() + " cannot be written into an autostart entry";
            return false;
        }
        return WriteFileAtomically(places.user, UserEntryText(*exec), error);
    }
    case Change::RemoveUserEntry:
        if (::unlink(places.user.c_str()) != 0 && errno != ENOENT) {
            *error = "cannot remove " + places.user.string() + ": " + std::strerror(errno);
            return false;
        }
        return true;
    }
    return true;
}

} // namespace verolux::autostart
