#pragma once

#include <windows.h>

#include <string>
#include <string_view>
#include <vector>

// What the Windows twins of the printing layer share: text at the system boundary (UTF-16 there,
// UTF-8 here), printer handles, and which printer each job of this process went to. Windows only.
namespace verolux::cups::win {

std::wstring Wide(std::string_view utf8);
std::string Utf8(std::wstring_view wide);

// The system's words for an error code; the print service being down is named as such.
std::string ErrorText(DWORD code);

// Whether the print spooler answers at all (a stopped service fails every call with an RPC error).
bool SpoolerAnswers();

// An open printer, closed when it goes.
class Printer {
  public:
    Printer() = default;
    ~Printer();
    Printer(const Printer&) = delete;
    Printer& operator=(const Printer&) = delete;
    // False with the system's error code in GetLastError() when the printer cannot be opened.
    bool open(const std::string& name, ACCESS_MASK access = PRINTER_ACCESS_USE);
    HANDLE handle() const { return m_handle; }

  private:
    HANDLE m_handle = nullptr;
};

// A paper a printer's driver offers: its DEVMODE number, PWG name (standard where the size is one, else
// "om_<name>_<size>"), the driver's name for it, its size as fed in hundredths of a millimetre.
struct Paper {
    WORD id = 0;
    std::string name, text;
    int widthHmm = 0, heightHmm = 0;
};
std::vector<Paper> PapersOf(const std::wstring& printer, const std::wstring& port);

// An input bin: its DEVMODE number, IPP keyword ("top", "manual", "tray-2") and the driver's name.
struct Bin {
    WORD id = 0;
    std::string keyword, text;
};
std::vector<Bin> BinsOf(const std::wstring& printer, const std::wstring& port);

// The port a printer prints to, which DeviceCapabilitiesW wants beside its name; empty when unknown.
std::wstring PortOf(HANDLE printer);

// The spooler's job ids are per printer handle: jobs this process started are remembered with their
// printer, so a job can be asked about by id alone.
void RememberJob(int jobId, const std::string& printer);
// The printer of a job this process started; empty when it is not one of ours.
std::string PrinterOfJob(int jobId);
// A job of ours this process cancelled: when it is gone from the queue, it did not print.
void MarkCancelled(int jobId);
bool WasCancelled(int jobId);

} // namespace verolux::cups::win
