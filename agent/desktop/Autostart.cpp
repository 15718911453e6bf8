#include "agent/desktop/Autostart.h"

namespace verolux::autostart {
namespace {

std::string_view Trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r'))
        s.remove_suffix(1);
    return s;
}

} // namespace

bool EntryEnabled(std::string_view text) {
    bool inMain = false;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        const std::string_view line = Trim(text.substr(0, end));
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        if (line.starts_with('[')) {
            inMain = line == "[Desktop Entry]";
            continue;
        }
        const std::size_t eq = line.find('=');
        if (!inMain || eq == std::string_view::npos) continue;
        const std::string_view key = Trim(line.substr(0, eq)), value = Trim(line.substr(eq + 1));
        // Desktop files spell booleans "true"/"false"; GLib, which reads them for the session, also takes
        // 1/0.
        if (key == "Hidden" && (value == "true" || value == "1")) return false;
        if (key == "X-GNOME-Autostart-enabled" && (value == "false" || value == "0")) return false;
    }
    return true;
}

bool IsOn(const Entries& e) {
    if (e.user) return EntryEnabled(*e.user);
    return e.machine && EntryEnabled(*e.machine);
}

Change ChangeFor(const Entries& e, bool on) {
    const bool machineOn = e.machine && EntryEnabled(*e.machine);
    if (on == IsOn(e)) return Change::Nothing;
    if (on) return machineOn ? Change::RemoveUserEntry : Change::WriteUserEntry;
    return machineOn ? Change::WriteHiddenEntry : Change::RemoveUserEntry;
}

std::string UserEntryText(std::string_view command) {
    std::string text = "[Desktop Entry]\n"
                       "Type=Application\n"
                       "Name=Verolux\n"
                       "Name[zh_CN]=Web报表服务端\n"
                       "Comment=Starts the report print agent at login\n"
                       "Exec=";
    text.append(command).append(
        "\nIcon=verolux\nTerminal=false\nNoDisplay=true\nX-GNOME-Autostart-enabled=true\n");
    return text;
}

std::string HiddenEntryText() {
    return "[Desktop Entry]\n"
           "Type=Application\n"
           "Name=Verolux\n"
           "Comment=Start at login turned off in the agent's tray menu\n"
           "Exec=verolux\n"
           "Hidden=true\n";
}

std::optional<std::string> ExecArgument(std::string_view program) {
    if (program.empty() || program.find_first_of("\"\\$`\n\r") != std::string_view::npos) return std::nullopt;
    std::string arg;
    bool plain = true;
    for (char c : program) {
        if (c == '%') arg += '%'; // a field code otherwise
        arg += c;
        const bool safe = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                          c == '/' || c == '.' || c == '_' || c == '-' || c == '+' || c == ',' ||
                          static_cast<unsigned char>(c) >= 0x80;
        plain = plain && safe;
    }
    return plain ? arg : "\"" + arg + "\"";
}

} // namespace verolux::autostart
