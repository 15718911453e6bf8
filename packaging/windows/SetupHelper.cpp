// The setup program's helper, unpacked into its temporary folder and run from there. It does what
// NSIS cannot do safely by itself:
// - writing MyIni.ini byte for byte by the programs' own INI rules (the profile-string functions NSIS
//   has would re-encode a UTF-8 file through the ANSI code page and could mangle the user's keys);
// - finding the Verolux programs that run from the install folder, and ending them when asked.
//
//   SetupHelper set-ini INI SECTION KEY VALUE   one value, replacing the stored one
//   SetupHelper merge-ini INI FILE              every key FILE gives a value, replacing the stored ones
//   SetupHelper running FOLDER                  exit 0 when none runs, 3 when one does (names on stdout)
//   SetupHelper end FOLDER SECONDS              ends them: waits up to SECONDS for the launcher to end
//                                               by itself, then terminates what still runs; exit 0
//                                               when none runs any more
// Other failures exit 1 (a message on stderr), a bad call 2, a value that is no backend URL 4.
#include "common/IniText.h"
#include "common/SafeNames.h"
#include "common/TextFile.h"

#include <windows.h>

#include <tlhelp32.h>

#include <cstdio>
#include <cwchar>
#include <filesystem>
#include <string>
#include <vector>

namespace {

constexpr int kFailed = 1, kUsage = 2, kRunning = 3, kBadUrl = 4;
const wchar_t* const kPrograms[] = {L"Verolux.exe", L"Kestrane.exe", L"verolux-designer.exe"};

std::string Utf8(const std::wstring& w) {
    if (w.empty()) return {};
    const int n =
        WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), nullptr, 0, nullptr, nullptr);
    std::string s(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), s.data(), n, nullptr, nullptr);
    return s;
}

bool ReadBytes(const std::wstring& path, std::string& bytes) {
    bytes.clear();
    FILE* f = _wfopen(path.c_str(), L"rb");
    if (!f) return false;
    char buffer[16384];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0)
        bytes.append(buffer, n);
    const bool ok = !std::ferror(f);
    std::fclose(f);
    return ok;
}

// The programs' own replacement: beside the file first, then renamed over it (retried while a reader
// holds it), so a failure leaves the old settings whole.
bool WriteBytes(const std::wstring& path, const std::string& bytes) {
    return verolux::ReplaceFileAtomically(std::filesystem::path(path), bytes);
}

// The backend base URL is kept without trailing "/": the programs append paths that begin with one.
bool CleanWebsUrl(std::string& url) {
    while (!url.empty() && url.back() == '/')
        url.pop_back();
    return verolux::IsHttpUrl(url);
}

bool IsWebsUrl(const std::string& section, const std::string& key) {
    auto same = [](const std::string& a, const char* b) { return _stricmp(a.c_str(), b) == 0; };
    return same(section, "AppInfo") && same(key, "WebsUrl");
}

int SetIni(const std::wstring& ini, std::string section, std::string key, std::string value) {
    if (IsWebsUrl(section, key) && !CleanWebsUrl(value)) {
        std::fprintf(stderr, "not an http:// or https:// URL: %s\n", value.c_str());
        return kBadUrl;
    }
    std::string text;
    ReadBytes(ini, text); // a missing file is created
    if (!WriteBytes(ini, mINI::ReplaceValue(text, section, key, value))) {
        std::fprintf(stderr, "cannot write %s\n", Utf8(ini).c_str());
        return kFailed;
    }
    return 0;
}

int MergeIni(const std::wstring& ini, const std::wstring& file) {
    std::string given, text;
    if (!ReadBytes(file, given)) {
        std::fprintf(stderr, "cannot read %s\n", Utf8(file).c_str());
        return kFailed;
    }
    ReadBytes(ini, text);
    for (const mINI::IniName& name : mINI::ListNames(given)) {
        std::string value = mINI::LookupValue(given, name.section, name.key);
        if (value.empty()) continue; // an empty value in the file means "no value given"
        if (IsWebsUrl(name.section, name.key) && !CleanWebsUrl(value)) {
            std::fprintf(stderr, "[%s] %s is not an http:// or https:// URL: %s\n", name.section.c_str(),
                         name.key.c_str(), value.c_str());
            return kBadUrl;
        }
        text = mINI::ReplaceValue(text, name.section, name.key, value);
    }
    if (!WriteBytes(ini, text)) {
        std::fprintf(stderr, "cannot write %s\n", Utf8(ini).c_str());
        return kFailed;
    }
    return 0;
}

struct Running {
    DWORD pid;
    std::wstring name;
};

// The Verolux programs whose file is in folder. Other users' processes cannot be opened and so
// never match; neither can a program of the same name elsewhere.
std::vector<Running> FindRunning(std::wstring folder) {
    while (!folder.empty() && (folder.back() == L'\\' || folder.back() == L'/'))
        folder.pop_back();
    std::vector<Running> found;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return found;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry)) {
        for (const wchar_t* program : kPrograms) {
            if (_wcsicmp(entry.szExeFile, program) != 0) continue;
            HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, entry.th32ProcessID);
            if (!process) continue;
            wchar_t image[MAX_PATH * 4];
            DWORD size = sizeof image / sizeof image[0];
            if (QueryFullProcessImageNameW(process, 0, image, &size) &&
                _wcsicmp(image, (folder + L"\\" + program).c_str()) == 0)
                found.push_back({entry.th32ProcessID, program});
            CloseHandle(process);
        }
    }
    CloseHandle(snapshot);
    return found;
}

int ListRunning(const std::wstring& folder) {
    const std::vector<Running> found = FindRunning(folder);
    for (const Running& r : found)
        std::printf("%s\n", Utf8(r.name).c_str());
    return found.empty() ? 0 : kRunning;
}

bool LauncherRuns(const std::wstring& folder) {
    for (const Running& r : FindRunning(folder))
        if (r.name == L"Kestrane.exe") return true;
    return false;
}

int EndRunning(const std::wstring& folder, int seconds) {
    // The launcher ends by itself within moments (it may be fetching a newer agent); the agent and
    // the designer only when the person chooses so, which the setup has asked before it comes here.
    for (int waited = 0; waited < seconds * 10 && LauncherRuns(folder); ++waited)
        Sleep(100);
    for (const Running& r : FindRunning(folder)) {
        HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, r.pid);
        if (!process) continue;
        if (TerminateProcess(process, 1)) WaitForSingleObject(process, 10000);
        std::printf("ended %s\n", Utf8(r.name).c_str());
        CloseHandle(process);
    }
    return ListRunning(folder) == 0 ? 0 : kRunning;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    const std::vector<std::wstring> a(argv + 1, argv + argc);
    const std::wstring command = a.empty() ? L"" : a[0];
    if (command == L"set-ini" && a.size() == 5) return SetIni(a[1], Utf8(a[2]), Utf8(a[3]), Utf8(a[4]));
    if (command == L"merge-ini" && a.size() == 3) return MergeIni(a[1], a[2]);
    if (command == L"running" && a.size() == 2) return ListRunning(a[1]);
    if (command == L"end" && a.size() == 3) return EndRunning(a[1], _wtoi(a[2].c_str()));
    std::fprintf(stderr, "usage: SetupHelper set-ini INI SECTION KEY VALUE | merge-ini INI FILE |"
                         " running FOLDER | end FOLDER SECONDS\n");
    return kUsage;
}
