#include "common/PolicyFile.h"

#define WIN32_LEAN_AND_MEAN
#include <shlobj.h>
#include <windows.h>

#include <cstdlib>

namespace mINI {

// The machine's policy lies where only administrators write: %ProgramData%\Verolux\policy.ini.
std::filesystem::path PolicyFilePath() {
    if (const wchar_t* path = ::_wgetenv(L"VEROLUX_POLICY"); path && *path)
        return std::filesystem::path(path);
    PWSTR programData = nullptr;
    std::filesystem::path folder;
    if (::SHGetKnownFolderPath(FOLDERID_ProgramData, 0, nullptr, &programData) == S_OK) folder = programData;
    ::CoTaskMemFree(programData);
    if (folder.empty()) return {};
    return folder / "Verolux" / "policy.ini";
}

} // namespace mINI
