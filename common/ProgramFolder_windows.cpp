#include "common/ProgramFolder.h"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <cstdlib>
#include <string>

namespace verolux {

std::filesystem::path ProgramFolder() {
    if (const wchar_t* home = ::_wgetenv(L"VEROLUX_HOME"); home && *home) return std::filesystem::path(home);
    // The executable's folder; names longer than MAX_PATH are allowed from Windows 10 on.
    std::wstring exe(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = ::GetModuleFileNameW(nullptr, exe.data(), static_cast<DWORD>(exe.size()));
        if (n == 0) return std::filesystem::current_path();
        if (n < exe.size()) {
            exe.resize(n);
            break;
        }
        exe.resize(exe.size() * 2);
    }
    return std::filesystem::path(exe).parent_path();
}

} // namespace verolux
