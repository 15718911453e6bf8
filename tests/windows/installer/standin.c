/* Stands in for Verolux.exe, Kestrane.exe and verolux-designer.exe (by its own file name) while the real
 * programs are not built: each appends "<name> <its path>" to the file %VEROLUX_STANDIN_LOG%. The
 * launcher then starts the agent beside it and ends; the agent stays until %VEROLUX_STANDIN_LOG%.quit
 * exists (or it is ended). */
#include <windows.h>

#include <stdio.h>
#include <wchar.h>

static void Note(const wchar_t* log, const wchar_t* name, const wchar_t* self) {
    wchar_t line[2 * MAX_PATH + 4];
    char utf8[4 * sizeof line];
    swprintf(line, sizeof line / sizeof line[0], L"%ls %ls\n", name, self);
    int n = WideCharToMultiByte(CP_UTF8, 0, line, -1, utf8, sizeof utf8, NULL, NULL);
    FILE* f = _wfopen(log, L"ab");
    if (!f) return;
    if (n > 1) fwrite(utf8, 1, (size_t)n - 1, f);
    fclose(f);
}

int wmain(void) {
    wchar_t self[MAX_PATH], log[MAX_PATH], quit[MAX_PATH + 8];
    GetModuleFileNameW(NULL, self, MAX_PATH);
    if (!GetEnvironmentVariableW(L"VEROLUX_STANDIN_LOG", log, MAX_PATH)) return 1;
    wchar_t* name = wcsrchr(self, L'\\') + 1;
    Note(log, name, self);
    if (_wcsicmp(name, L"Kestrane.exe") == 0) {
        wchar_t agent[MAX_PATH];
        wcscpy(agent, self);
        wcscpy(wcsrchr(agent, L'\\') + 1, L"Verolux.exe");
        STARTUPINFOW si = {sizeof si};
        PROCESS_INFORMATION pi;
        if (!CreateProcessW(agent, NULL, NULL, NULL, FALSE, 0, NULL, NULL, &si, &pi)) return 2;
        CloseHandle(pi.hThread);
        CloseHandle(pi.hProcess);
    } else if (_wcsicmp(name, L"Verolux.exe") == 0) {
        swprintf(quit, MAX_PATH + 8, L"%ls.quit", log);
        while (GetFileAttributesW(quit) == INVALID_FILE_ATTRIBUTES)
            Sleep(100);
    }
    return 0;
}
