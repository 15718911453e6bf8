#include "agent/reports/cups/Spooler_windows.h"

#include "agent/reports/cups/CupsError.h"
#include "agent/reports/cups/PwgNames.h"

#include <winspool.h>

#include <cstring>
#include <cwchar>

#include <algorithm>
#include <cctype>
#include <map>
#include <mutex>
#include <set>

namespace verolux::cups::win {
namespace {

// Jobs remembered at most; the oldest are forgotten first (ids grow).
constexpr std::size_t kRememberedJobs = 4096;

struct Job {
    std::string printer;
    bool cancelled = false;
};
std::mutex g_jobsMutex;
std::map<int, Job> g_jobs;

// One DeviceCapabilitiesW list: `size` bytes per item; empty when the driver has none.
template <typename Item>
std::vector<Item> Capability(const std::wstring& printer, const std::wstring& port, WORD which,
                             std::size_t itemBytes = sizeof(Item)) {
    const int n = DeviceCapabilitiesW(printer.c_str(), port.c_str(), which, nullptr, nullptr);
    if (n <= 0) return {};
    // Some drivers write more than they announce; leave them room.
    std::vector<BYTE> raw((std::size_t(n) + 1) * itemBytes);
    const int got = DeviceCapabilitiesW(printer.c_str(), port.c_str(), which,
                                        reinterpret_cast<wchar_t*>(raw.data()), nullptr);
    std::vector<Item> out;
    for (int i = 0; i < std::min(n, got); ++i) {
        Item item{};
        std::memcpy(&item, raw.data() + std::size_t(i) * itemBytes, std::min(sizeof(Item), itemBytes));
        out.push_back(item);
    }
    return out;
}

// A fixed-width name of a DC_PAPERNAMES / DC_BINNAMES list, without its padding.
template <std::size_t N> struct FixedName {
    wchar_t text[N];
    std::string utf8() const { return Utf8(std::wstring_view(text, wcsnlen(text, N))); }
};

// The name part of a PWG name: lower-case ASCII letters, digits and dashes; empty when nothing is left.
std::string Slug(const std::string& text) {
    std::string out;
    for (const char c : text) {
        if (std::isalnum(static_cast<unsigned char>(c)) && static_cast<unsigned char>(c) < 0x80)
            out += char(std::tolower(static_cast<unsigned char>(c)));
        else if (!out.empty() && out.back() != '-')
            out += '-';
    }
    while (!out.empty() && out.back() == '-')
        out.pop_back();
    return out;
}

// IPP's media-source keywords for the bins Windows numbers itself; driver bins become tray-N.
std::string BinKeyword(WORD id) {
    switch (id) {
    case DMBIN_UPPER:
        return "top";
    case DMBIN_LOWER:
        return "bottom";
    case DMBIN_MIDDLE:
        return "middle";
    case DMBIN_MANUAL:
        return "manual";
    case DMBIN_ENVELOPE:
        return "envelope";
    case DMBIN_ENVMANUAL:
        return "manual-envelope";
    case DMBIN_AUTO:
        return "auto";
    case DMBIN_TRACTOR:
        return "tractor";
    case DMBIN_SMALLFMT:
        return "small-format";
    case DMBIN_LARGEFMT:
        return "large-format";
    case DMBIN_LARGECAPACITY:
        return "large-capacity";
    case DMBIN_CASSETTE:
        return "cassette";
    case DMBIN_FORMSOURCE: // the driver picks the bin by the paper
        return "auto";
    default:
        break;
    }
    return id >= DMBIN_USER ? "tray-" + std::to_string(id - DMBIN_USER + 1) : "bin-" + std::to_string(id);
}

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

std::vector<Paper> PapersOf(const std::wstring& printer, const std::wstring& port) {
    const std::vector<WORD> ids = Capability<WORD>(printer, port, DC_PAPERS);
    const std::vector<FixedName<64>> names = Capability<FixedName<64>>(printer, port, DC_PAPERNAMES);
    const std::vector<POINT> sizes = Capability<POINT>(printer, port, DC_PAPERSIZE);
    std::vector<Paper> out;
    std::set<std::string> taken;
    for (std::size_t i = 0; i < ids.size() && i < sizes.size(); ++i) {
        // Tenths of a millimetre; a rotated paper ("A4 Transverse") is the same sheet as fed.
        const int a = sizes[i].x * 10, b = sizes[i].y * 10;
        if (a <= 0 || b <= 0) continue;
        Paper p;
        p.id = ids[i];
        p.text = i < names.size() ? names[i].utf8() : std::string();
        p.widthHmm = std::min(a, b);
        p.heightHmm = std::max(a, b);
        p.name = StandardSizeName(p.widthHmm, p.heightHmm);
        // A standard paper has its exact size, which the driver gives rounded to tenths.
        if (!p.name.empty() && !taken.count(p.name)) SizeOfName(p.name, &p.widthHmm, &p.heightHmm);
        if (p.name.empty() || taken.count(p.name)) {
            // om_<name>_<size>, the size spelt as CUPS spells a custom one.
            const std::string custom = CustomSizeName(p.widthHmm, p.heightHmm);
            std::string slug = Slug(p.text);
            if (slug.empty()) slug = "paper-" + std::to_string(p.id);
            p.name = "om_" + slug + custom.substr(custom.rfind('_'));
            if (taken.count(p.name))
                p.name = "om_paper-" + std::to_string(p.id) + custom.substr(custom.rfind('_'));
        }
        taken.insert(p.name);
        out.push_back(std::move(p));
    }
    return out;
}

std::vector<Bin> BinsOf(const std::wstring& printer, const std::wstring& port) {
    const std::vector<WORD> ids = Capability<WORD>(printer, port, DC_BINS);
    const std::vector<FixedName<24>> names = Capability<FixedName<24>>(printer, port, DC_BINNAMES);
    std::vector<Bin> out;
    std::set<std::string> taken;
    for (std::size_t i = 0; i < ids.size(); ++i) {
        Bin b{ids[i], BinKeyword(ids[i]), i < names.size() ? names[i].utf8() : std::string()};
        if (taken.count(b.keyword)) b.keyword = "bin-" + std::to_string(b.id);
        if (b.text.empty()) b.text = b.keyword;
        taken.insert(b.keyword);
        out.push_back(std::move(b));
    }
    return out;
}

std::wstring PortOf(HANDLE printer) {
    DWORD needed = 0;
    GetPrinterW(printer, 2, nullptr, 0, &needed);
    if (needed == 0) return {};
    std::vector<BYTE> buffer(needed);
    if (!GetPrinterW(printer, 2, buffer.data(), needed, &needed)) return {};
    const auto* info = reinterpret_cast<const PRINTER_INFO_2W*>(buffer.data());
    return info->pPortName ? info->pPortName : L"";
}

void RememberJob(int jobId, const std::string& printer) {
    const std::lock_guard lock(g_jobsMutex);
    g_jobs[jobId] = {printer, false};
    while (g_jobs.size() > kRememberedJobs)
        g_jobs.erase(g_jobs.begin());
}

std::string PrinterOfJob(int jobId) {
    const std::lock_guard lock(g_jobsMutex);
    const auto it = g_jobs.find(jobId);
    return it == g_jobs.end() ? std::string() : it->second.printer;
}

void MarkCancelled(int jobId) {
    const std::lock_guard lock(g_jobsMutex);
    if (const auto it = g_jobs.find(jobId); it != g_jobs.end()) it->second.cancelled = true;
}

bool WasCancelled(int jobId) {
    const std::lock_guard lock(g_jobsMutex);
    const auto it = g_jobs.find(jobId);
    return it != g_jobs.end() && it->second.cancelled;
}

} // namespace verolux::cups::win
