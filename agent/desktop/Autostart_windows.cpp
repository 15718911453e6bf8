#include "agent/desktop/Autostart.h"

#include "common/WideText.h"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

// Start at login is the value "Verolux" under the user's Run key, holding the quoted path of the
// launcher (the installer writes the same value). The machine's Run key cannot be overridden per user,
// so only the user's value is read and changed.
namespace verolux::autostart {
namespace fs = std::filesystem;
namespace {

constexpr const wchar_t* kRunKey = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr const wchar_t* kValueName = L"Verolux";

// RRF_RT_REG_SZ takes a REG_EXPAND_SZ value too, expanded (RRF_RT_REG_EXPAND_SZ without RRF_NOEXPAND is
// refused: ERROR_INVALID_PARAMETER, and start at login read as off).
std::optional<std::wstring> ReadRunValue() {
    DWORD size = 0;
    if (::RegGetValueW(HKEY_CURRENT_USER, kRunKey, kValueName, RRF_RT_REG_SZ, nullptr, nullptr, &size) !=
        ERROR_SUCCESS)
        return std::nullopt;
    std::wstring value(size / sizeof(wchar_t) + 1, L'\0');
    size = static_cast<DWORD>(value.size() * sizeof(wchar_t));
    if (::RegGetValueW(HKEY_CURRENT_USER, kRunKey, kValueName, RRF_RT_REG_SZ, nullptr, value.data(), &size) !=
        ERROR_SUCCESS)
        return std::nullopt;
    value.resize(wcsnlen(value.c_str(), value.size()));
    return value;
}

std::string Why(const char* what, LSTATUS rc) {
    return std::string(what) + " (error " + std::to_string(rc) + ")";
}

} // namespace

Places PlacesFromEnvironment() {
    Places p;
    p.user = fs::path(L"HKEY_CURRENT_USER") / kRunKey / kValueName; // named for messages only
    return p;
}

Entries ReadEntries(const Places&) {
    Entries e;
    // A Run value starts its program whatever it holds; as an entry it is an enabled one.
    if (const auto value = ReadRunValue()) e.user = UserEntryText("\"" + Utf8FromWide(*value) + "\"");
    return e;
}

fs::path StartCommand(const fs::path& programFolder) {
    return programFolder / "Kestrane.exe";
}

bool SetOn(const Places&, bool on, const fs::path& command, std::string* error) {
    if (on) {
        const std::wstring value = L"\"" + command.wstring() + L"\"";
        const LSTATUS rc = ::RegSetKeyValueW(HKEY_CURRENT_USER, kRunKey, kValueName, REG_SZ, value.c_str(),
                                             static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
        if (rc != ERROR_SUCCESS) *error = Why("cannot write the Run value Verolux", rc);
        return rc == ERROR_SUCCESS;
    }
    const LSTATUS rc = ::RegDeleteKeyValueW(HKEY_CURRENT_USER, kRunKey, kValueName);
    if (rc != ERROR_SUCCESS && rc != ERROR_FILE_NOT_FOUND) {
        *error = Why("cannot remove the Run value Verolux", rc);
        return false;
    }
    return true;
}

} // namespace verolux::autostart
