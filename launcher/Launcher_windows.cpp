#include "launcher/Launcher.h"

#include "common/WideText.h"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <string>

namespace mMain {

std::string StartDetached(const std::filesystem::path& program) {
    // The command line names the program alone, quoted: the agent takes no arguments from us.
    std::wstring commandLine = L"\"" + program.wstring() + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_SHOWNORMAL;
    PROCESS_INFORMATION process{};
    const std::wstring folder = program.parent_path().wstring();
    if (!::CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE,
                          CREATE_NEW_PROCESS_GROUP | DETACHED_PROCESS | CREATE_UNICODE_ENVIRONMENT, nullptr,
                          folder.c_str(), &startup, &process)) {
        const DWORD error = ::GetLastError();
        wchar_t text[256] = {};
        ::FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0, text,
                         256, nullptr);
        std::string why = verolux::Utf8FromWide(text);
        while (!why.empty() && (why.back() == '\n' || why.back() == '\r' || why.back() == ' '))
            why.pop_back();
        return why.empty() ? "error " + std::to_string(error) : why;
    }
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
    return {};
}

} // namespace mMain
