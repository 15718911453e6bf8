#include "agent/reports/cups/GdiJob_windows.h"

#include "agent/reports/cups/CupsError.h"
#include "agent/reports/cups/PwgNames.h"
#include "agent/reports/cups/Spooler_windows.h"

#include <winspool.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace verolux::cups::win {
namespace {

constexpr double kMmPerInch = 25.4;
// A driver's paper matches a size asked in millimetres within this much (tenths rounding).
constexpr int kSizeToleranceHmm = 100;
// Rows of a bitmap per strip: a page goes to the driver in strips, and strips of white paper not at
// all (most of a report page is white: the spool shrinks by that much, and no driver meets one huge
// bitmap).
constexpr int kStripRows = 128;

bool Failed(std::string* error, const std::string& why) {
    if (error) *error = why;
    return false;
}

// Whether rows [top, top + rows) of the bitmap are white (the unused byte of 32-bit pixels aside).
bool White(const Bitmap& b, int top, int rows) {
    const int pixelBytes = b.gray ? 1 : 4;
    for (int r = top; r < top + rows; ++r) {
        const auto* line = static_cast<const BYTE*>(b.bits) + std::size_t(r) * std::size_t(b.stride);
        for (int i = 0; i < b.width * pixelBytes; ++i)
            if (line[i] != 0xFF && (b.gray || i % 4 != 3)) return false;
    }
    return true;
}

short Tenths(int hmm) {
    return short(std::clamp((hmm + 5) / 10, 1, 32767));
}

// The printer's DEVMODE with the job's options merged in and checked by its driver.
bool JobDevMode(HANDLE printer, const std::wstring& name, const JobOptions& o, std::vector<BYTE>* out,
                int* copiesToDraw, PrintError* error) {
    const std::string quoted = "printer \"" + Utf8(name) + "\"";
    const LONG size =
        DocumentPropertiesW(nullptr, printer, const_cast<wchar_t*>(name.c_str()), nullptr, nullptr, 0);
    if (size <= 0)
        return FailWith(error, PrintFailure::Failed,
                        quoted + ": no driver settings: " + ErrorText(GetLastError()));
    std::vector<BYTE> in(std::size_t(size) + 4096);
    auto* dm = reinterpret_cast<DEVMODEW*>(in.data());
    if (DocumentPropertiesW(nullptr, printer, const_cast<wchar_t*>(name.c_str()), dm, nullptr,
                            DM_OUT_BUFFER) != IDOK)
        return FailWith(error, PrintFailure::Failed,
                        quoted + ": no driver settings: " + ErrorText(GetLastError()));

    const std::wstring port = PortOf(printer);
    // The sheet: a paper the driver names, else its size as a custom one.
    int widthHmm = 0, heightHmm = 0;
    WORD paperId = 0;
    if (!o.media.empty()) {
        for (const Paper& p : PapersOf(name, port))
            if (p.name == o.media || p.text == o.media) paperId = p.id;
        if (!paperId && !SizeOfName(o.media, &widthHmm, &heightHmm))
            return FailWith(error, PrintFailure::Refused, quoted + " has no paper \"" + o.media + "\"");
    } else if (o.paperWidthMm > 0 && o.paperHeightMm > 0) {
        widthHmm = int(std::lround(std::min(o.paperWidthMm, o.paperHeightMm) * 100));
        heightHmm = int(std::lround(std::max(o.paperWidthMm, o.paperHeightMm) * 100));
    }
    if (!paperId && widthHmm > 0) {
        for (const Paper& p : PapersOf(name, port))
            if (std::abs(p.widthHmm - std::min(widthHmm, heightHmm)) <= kSizeToleranceHmm &&
                std::abs(p.heightHmm - std::max(widthHmm, heightHmm)) <= kSizeToleranceHmm) {
                paperId = p.id;
                break;
            }
    }
    if (paperId) {
        dm->dmPaperSize = short(paperId);
        dm->dmFields = (dm->dmFields | DM_PAPERSIZE) & ~DWORD(DM_PAPERWIDTH | DM_PAPERLENGTH);
    } else if (widthHmm > 0) {
        // A size the driver has no paper for: width and length override dmPaperSize when DM_PAPERSIZE
        // is left out (drivers that also want DMPAPER_USER find it there).
        dm->dmPaperSize = DMPAPER_USER;
        dm->dmPaperWidth = Tenths(std::min(widthHmm, heightHmm));
        dm->dmPaperLength = Tenths(std::max(widthHmm, heightHmm));
        dm->dmFields = (dm->dmFields | DM_PAPERWIDTH | DM_PAPERLENGTH) & ~DWORD(DM_PAPERSIZE);
    }
    if (!o.mediaSource.empty()) {
        const std::vector<Bin> bins = BinsOf(name, port);
        const auto bin = std::find_if(bins.begin(), bins.end(), [&](const Bin& b) {
            return b.keyword == o.mediaSource || b.text == o.mediaSource;
        });
        if (bin == bins.end())
            return FailWith(error, PrintFailure::Refused, quoted + " has no tray \"" + o.mediaSource + "\"");
        dm->dmDefaultSource = short(bin->id);
        dm->dmFields |= DM_DEFAULTSOURCE;
    }
    dm->dmOrientation = o.landscape ? DMORIENT_LANDSCAPE : DMORIENT_PORTRAIT;
    dm->dmFields |= DM_ORIENTATION;
    dm->dmDuplex = o.sides == Sides::TwoSidedLongEdge    ? DMDUP_VERTICAL
                   : o.sides == Sides::TwoSidedShortEdge ? DMDUP_HORIZONTAL
                                                         : DMDUP_SIMPLEX;
    dm->dmFields |= DM_DUPLEX;
    dm->dmColor = o.monochrome ? DMCOLOR_MONOCHROME : DMCOLOR_COLOR;
    dm->dmFields |= DM_COLOR;
    // Copies: the driver's when it can make them all (collated where asked), else the caller draws them.
    const int copies = std::max(1, o.copies);
    const LONG most = DeviceCapabilitiesW(name.c_str(), port.c_str(), DC_COPIES, nullptr, nullptr);
    const bool collates = DeviceCapabilitiesW(name.c_str(), port.c_str(), DC_COLLATE, nullptr, nullptr) == 1;
    const bool driverCopies = copies == 1 || (most >= copies && (collates || !o.collate));
    *copiesToDraw = driverCopies ? 1 : copies;
    dm->dmCopies = short(driverCopies ? copies : 1);
    dm->dmCollate = o.collate ? DMCOLLATE_TRUE : DMCOLLATE_FALSE;
    dm->dmFields |= DM_COPIES | (driverCopies && collates ? DM_COLLATE : 0);

    // The driver's own DEVMODE with public fields changed goes to CreateDCW as it is: the driver
    // validates it there. Not merged through DocumentPropertiesW(DM_IN_BUFFER), which in Wine changes
    // the printer's defaults for the rest of the process (a tray asked once would stick).
    *out = std::move(in);
    return true;
}

} // namespace

GdiJob::~GdiJob() {
    cancel();
}

bool GdiJob::fail(std::string* error, const std::string& why) {
    cancel();
    return Failed(error, why);
}

bool GdiJob::open(const std::string& printer, const std::string& title, const JobOptions& options,
                  std::string* error) {
    PrintError typed;
    return AsText(open(printer, title, options, &typed), std::move(typed), error);
}

bool GdiJob::open(const std::string& printer, const std::string& title, const JobOptions& options,
                  PrintError* error) {
    cancel();
    m_printer = printer;
    m_finished = false;
    m_jobId = 0;
    m_copiesToDraw = 1;
    m_moveXMm = options.offsetXMm;
    m_moveYMm = options.offsetYMm;
    const std::string quoted = "printer \"" + printer + "\"";
    Printer handle;
    if (!handle.open(printer)) {
        const DWORD code = GetLastError();
        if (!SpoolerAnswers()) return FailWith(error, PrintFailure::SchedulerDown, kSchedulerDown);
        return code == ERROR_INVALID_PRINTER_NAME
                   ? FailWith(error, PrintFailure::NoSuchPrinter, quoted + " does not exist")
                   : FailWith(error, PrintFailure::Failed, quoted + ": " + ErrorText(code));
    }
    const std::wstring name = Wide(printer);
    std::vector<BYTE> devMode;
    if (!JobDevMode(handle.handle(), name, options, &devMode, &m_copiesToDraw, error)) return false;
    m_dc = CreateDCW(L"WINSPOOL", name.c_str(), nullptr, reinterpret_cast<const DEVMODEW*>(devMode.data()));
    if (!m_dc)
        return FailWith(error, PrintFailure::Failed,
                        quoted + ": cannot open the device: " + ErrorText(GetLastError()));
    m_dpiX = GetDeviceCaps(m_dc, LOGPIXELSX);
    m_dpiY = GetDeviceCaps(m_dc, LOGPIXELSY);
    m_offsetX = GetDeviceCaps(m_dc, PHYSICALOFFSETX);
    m_offsetY = GetDeviceCaps(m_dc, PHYSICALOFFSETY);
    if (m_dpiX <= 0 || m_dpiY <= 0) {
        cancel();
        return FailWith(error, PrintFailure::Failed, quoted + ": the device reports no resolution");
    }
    m_paperWidthMm = GetDeviceCaps(m_dc, PHYSICALWIDTH) * kMmPerInch / m_dpiX;
    m_paperHeightMm = GetDeviceCaps(m_dc, PHYSICALHEIGHT) * kMmPerInch / m_dpiY;
    m_printableWidthMm = GetDeviceCaps(m_dc, HORZRES) * kMmPerInch / m_dpiX;
    m_printableHeightMm = GetDeviceCaps(m_dc, VERTRES) * kMmPerInch / m_dpiY;

    const std::wstring docName = Wide(title);
    DOCINFOW doc{};
    doc.cbSize = sizeof doc;
    doc.lpszDocName = docName.c_str();
    const int id = StartDocW(m_dc, &doc);
    if (id <= 0) {
        const DWORD code = GetLastError();
        cancel();
        return FailWith(error, PrintFailure::Refused, quoted + " refused the job: " + ErrorText(code));
    }
    m_jobId = id;
    RememberJob(id, printer);
    return true;
}

bool GdiJob::startPage(std::string* error) {
    if (!m_dc || m_jobId <= 0) return Failed(error, "no print job is open");
    if (StartPage(m_dc) <= 0)
        return fail(error,
                    "printer \"" + m_printer + "\": cannot start a page: " + ErrorText(GetLastError()));
    m_pageOpen = true;
    // Plain replication when a bitmap is enlarged: no smoothing the driver would have to emulate.
    SetStretchBltMode(m_dc, COLORONCOLOR);
    return true;
}

bool GdiJob::draw(const Bitmap& b, double xMm, double yMm, double widthMm, double heightMm,
                  std::string* error) {
    if (!m_pageOpen) return Failed(error, "no page is open");
    std::vector<BYTE> header(sizeof(BITMAPINFOHEADER) + (b.gray ? 256 * sizeof(RGBQUAD) : 0));
    auto* info = reinterpret_cast<BITMAPINFO*>(header.data());
    info->bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    // GDI's rows are 4-byte aligned; a wider stride shows as a wider bitmap, cut by the source box.
    info->bmiHeader.biWidth = b.stride / (b.gray ? 1 : 4);
    info->bmiHeader.biPlanes = 1;
    info->bmiHeader.biBitCount = b.gray ? 8 : 32;
    info->bmiHeader.biCompression = BI_RGB;
    if (b.gray) {
        info->bmiHeader.biClrUsed = 256;
        for (int i = 0; i < 256; ++i)
            info->bmiColors[i] = RGBQUAD{BYTE(i), BYTE(i), BYTE(i), 0};
    }
    const int x = int(std::lround((xMm + m_moveXMm) * m_dpiX / kMmPerInch)) - m_offsetX;
    const int y = int(std::lround((yMm + m_moveYMm) * m_dpiY / kMmPerInch)) - m_offsetY;
    const int w = int(std::lround(widthMm * m_dpiX / kMmPerInch));
    const int h = int(std::lround(heightMm * m_dpiY / kMmPerInch));
    for (int top = 0; top < b.height; top += kStripRows) {
        const int rows = std::min(kStripRows, b.height - top);
        if (White(b, top, rows)) continue;
        // Strip edges rounded the same way from both sides: no gaps, no overlaps.
        const int y0 = y + int(std::lround(double(top) * h / b.height));
        const int y1 = y + int(std::lround(double(top + rows) * h / b.height));
        info->bmiHeader.biHeight = -rows; // top row first
        const BYTE* bits = static_cast<const BYTE*>(b.bits) + std::size_t(top) * std::size_t(b.stride);
        if (StretchDIBits(m_dc, x, y0, w, y1 - y0, 0, 0, b.width, rows, bits, info, DIB_RGB_COLORS,
                          SRCCOPY) == int(GDI_ERROR))
            return fail(error,
                        "printer \"" + m_printer + "\": drawing a page failed: " + ErrorText(GetLastError()));
    }
    return true;
}

bool GdiJob::endPage(std::string* error) {
    if (!m_pageOpen) return Failed(error, "no page is open");
    m_pageOpen = false;
    if (EndPage(m_dc) <= 0)
        return fail(error, "printer \"" + m_printer + "\": cannot end a page: " + ErrorText(GetLastError()));
    return true;
}

bool GdiJob::finish(std::string* error) {
    if (!m_dc || m_jobId <= 0) return Failed(error, "no print job is open");
    if (m_pageOpen && EndPage(m_dc) <= 0)
        return fail(error, "printer \"" + m_printer + "\": cannot end a page: " + ErrorText(GetLastError()));
    m_pageOpen = false;
    if (EndDoc(m_dc) <= 0)
        return fail(error,
                    "printer \"" + m_printer + "\" did not take the job: " + ErrorText(GetLastError()));
    m_finished = true;
    DeleteDC(m_dc);
    m_dc = nullptr;
    return true;
}

void GdiJob::cancel() {
    if (!m_dc) return;
    if (m_jobId > 0 && !m_finished) {
        AbortDoc(m_dc);
        MarkCancelled(m_jobId);
    }
    DeleteDC(m_dc);
    m_dc = nullptr;
    m_pageOpen = false;
}

} // namespace verolux::cups::win
