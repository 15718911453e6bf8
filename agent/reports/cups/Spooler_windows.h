#pragma once

#include <windows.h>

#include <string>
#include <string_view>

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

// The spooler's job ids are per printer handle: jobs this process started are remembered with their
// printer, so a job can be asked about by id alone.
void RememberJob(int jobId, const std::string& printer);
// The printer of a job this process started; empty when it is not one of ours.
std::string PrinterOfJob(int jobId);

} // namespace verolux::cups::win
