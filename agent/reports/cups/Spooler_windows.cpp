#include "agent/reports/cups/Spooler_windows.h"

#include "agent/reports/cups/CupsError.h"

#include <winspool.h>

#include <map>
#include <mutex>

namespace verolux::cups::win {
namespace {

// Jobs remembered at most; the oldest are forgotten first (ids grow).
constexpr std::size_t kRememberedJobs = 4096;

std::mutex g_jobsMutex;
std::map<int, std::string> g_jobs;

} // namespace

std::wstring Wide(std::string_view utf8) {
    if (utf8.empty()) return {};
    const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), int(utf8.size()), nullptr, 0);
    std::wstring out(std::size_t(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), int(utf8.size()), out.data(), n);
    return out;
}

std::string Utf8(std::wstring_view wide) {
    if (wide.empty()) return {};
    const int n =
        WideCharToMultiByte(CP_UTF8, 0, wide.data(), int(wide.size()), nullptr, 0, nullptr, nullptr);
    std::string out(std::size_t(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), int(wide.size()), out.data(), n, nullptr, nullptr);
    return out;
}

std::string ErrorText(DWORD code) {
    if (code == RPC_S_SERVER_UNAVAILABLE || code == EPT_S_NOT_REGISTERED) return kSchedulerDown;
    wchar_t* text = nullptr;
    const DWORD n = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                       FORMAT_MESSAGE_IGNORE_INSERTS,
                                   nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::wstring words(text ? text : L"", n);
    if (text) LocalFree(text);
    while (!words.empty() && (words.back() == L'\n' || words.back() == L'\r' || words.back() == L'.'))
        words.pop_back();
    if (words.empty()) return "Windows error " + std::to_string(code);
    return Utf8(words);
}

bool SpoolerAnswers() {
    DWORD needed = 0, count = 0;
    if (EnumPrintersW(PRINTER_ENUM_LOCAL, nullptr, 4, nullptr, 0, &needed, &count)) return true;
    const DWORD code = GetLastError();
    return code != RPC_S_SERVER_UNAVAILABLE && code != EPT_S_NOT_REGISTERED;
}

Printer::~Printer() {
    if (m_handle) ClosePrinter(m_handle);
}

bool Printer::open(const std::string& name, ACCESS_MASK access) {
    if (m_handle) ClosePrinter(m_handle);
    m_handle = nullptr;
    std::wstring wide = Wide(name);
    PRINTER_DEFAULTSW defaults{nullptr, nullptr, access};
    return OpenPrinterW(wide.data(), &m_handle, &defaults) != 0;
}

void RememberJob(int jobId, const std::string& printer) {
    const std::lock_guard lock(g_jobsMutex);
    g_jobs[jobId] = printer;
    while (g_jobs.size() > kRememberedJobs)
        g_jobs.erase(g_jobs.begin());
}

std::string PrinterOfJob(int jobId) {
    const std::lock_guard lock(g_jobsMutex);
    const auto it = g_jobs.find(jobId);
    return it == g_jobs.end() ? std::string() : it->second;
}

} // namespace verolux::cups::win
