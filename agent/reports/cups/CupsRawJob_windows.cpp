#include "agent/reports/cups/CupsRawJob.h"

#include "agent/reports/cups/CupsError.h"
#include "agent/reports/cups/GdiJob_windows.h"
#include "agent/reports/cups/PictureDecoder_windows.h"
#include "agent/reports/cups/Spooler_windows.h"

#include <winspool.h>

#include <algorithm>
#include <charconv>
#include <cstdlib>

namespace verolux::cups {
namespace {

constexpr double kMmPerInch = 25.4;
// Bytes handed to WritePrinter at a time.
constexpr std::size_t kWriteChunk = 64 * 1024;

std::string Option(const std::vector<std::pair<std::string, std::string>>& options, const char* name) {
    for (const auto& [key, value] : options)
        if (key == name) return value;
    return {};
}

// The options DocumentOptionList made, back as the job's settings.
JobOptions JobOptionsOf(const std::vector<std::pair<std::string, std::string>>& options) {
    JobOptions o;
    if (const std::string copies = Option(options, "copies"); !copies.empty())
        o.copies = std::max(1, std::atoi(copies.c_str()));
    const std::string sides = Option(options, "sides");
    o.sides = sides == "two-sided-long-edge"    ? Sides::TwoSidedLongEdge
              : sides == "two-sided-short-edge" ? Sides::TwoSidedShortEdge
                                                : Sides::OneSided;
    o.media = Option(options, "media");
    o.mediaSource = Option(options, "media-source");
    const std::string offset = Option(options, kOffsetOption);
    if (const std::size_t comma = offset.find(','); comma != std::string::npos) {
        std::from_chars(offset.data(), offset.data() + comma, o.offsetXMm);
        std::from_chars(offset.data() + comma + 1, offset.data() + offset.size(), o.offsetYMm);
    }
    return o;
}

// A picture on one sheet: its place in millimetres from the sheet's corner, as the scaling asks.
struct Box {
    double x, y, width, height;
};
Box Place(const win::GdiJob& job, double widthMm, double heightMm, const std::string& scaling) {
    const double areaX = job.printableXMm(), areaY = job.printableYMm();
    const double areaW = job.printableWidthMm(), areaH = job.printableHeightMm();
    double scale = 1;
    if (scaling == "fit" || (scaling.empty() && (widthMm > areaW || heightMm > areaH)))
        scale = std::min(areaW / widthMm, areaH / heightMm);
    else if (scaling == "fill")
        scale = std::max(job.paperWidthMm() / widthMm, job.paperHeightMm() / heightMm);
    const double w = widthMm * scale, h = heightMm * scale;
    // Centred: in the printable area, or on the sheet when filling it.
    if (scaling == "fill") return {(job.paperWidthMm() - w) / 2, (job.paperHeightMm() - h) / 2, w, h};
    return {areaX + (areaW - w) / 2, areaY + (areaH - h) / 2, w, h};
}

bool SendPicture(const std::string& printer, const std::string& title, std::string_view bytes,
                 const std::vector<std::pair<std::string, std::string>>& options, int* jobId,
                 PrintError* error) {
    win::Picture picture;
    std::string why;
    if (!win::DecodePicture(bytes, &picture, &why))
        return FailWith(error, PrintFailure::Failed, "printer \"" + printer + "\": " + why);
    JobOptions o = JobOptionsOf(options);
    // As CUPS does with pictures: a wide one turns the sheet.
    o.landscape = picture.width > picture.height;
    win::GdiJob job;
    if (!job.open(printer, title, o, error)) return false;
    const Box box = Place(job, picture.width * kMmPerInch / picture.dpiX,
                          picture.height * kMmPerInch / picture.dpiY, Option(options, "print-scaling"));
    const win::Bitmap bitmap{picture.pixels.data(), picture.width, picture.height, picture.width * 4, false};
    for (int c = 0; c < job.copiesToDraw(); ++c)
        if (!job.startPage(&why) || !job.draw(bitmap, box.x, box.y, box.width, box.height, &why) ||
            !job.endPage(&why))
            return FailWith(error, PrintFailure::Failed, why);
    if (!job.finish(&why)) return FailWith(error, PrintFailure::Refused, why);
    *jobId = job.jobId();
    return true;
}

} // namespace

bool SendRawJob(const std::string& printer, const std::string& title, std::string_view bytes, int* jobId,
                PrintError* error) {
    *jobId = 0;
    const std::string quoted = "printer \"" + printer + "\"";
    win::Printer handle;
    if (!handle.open(printer)) {
        const DWORD code = GetLastError();
        if (!win::SpoolerAnswers()) return FailWith(error, PrintFailure::SchedulerDown, kSchedulerDown);
        return code == ERROR_INVALID_PRINTER_NAME
                   ? FailWith(error, PrintFailure::NoSuchPrinter, quoted + " does not exist")
                   : FailWith(error, PrintFailure::Failed, quoted + ": " + win::ErrorText(code));
    }
    // RAW: the spooler passes the bytes to the port as they are, past the driver.
    std::wstring docName = win::Wide(title), datatype = L"RAW";
    DOC_INFO_1W doc{docName.data(), nullptr, datatype.data()};
    const DWORD id = StartDocPrinterW(handle.handle(), 1, reinterpret_cast<BYTE*>(&doc));
    if (id == 0)
        return FailWith(error, PrintFailure::Refused,
                        quoted + " refused the job: " + win::ErrorText(GetLastError()));
    win::RememberJob(int(id), printer);
    const auto abandon = [&](PrintFailure code, const std::string& why) {
        const std::string reason = why + win::ErrorText(GetLastError());
        SetJobW(handle.handle(), id, 0, nullptr, JOB_CONTROL_DELETE);
        win::MarkCancelled(int(id));
        EndDocPrinter(handle.handle());
        return FailWith(error, code, reason);
    };
    if (!StartPagePrinter(handle.handle()))
        return abandon(PrintFailure::Failed, quoted + ": cannot send the job: ");
    for (std::size_t at = 0; at < bytes.size();) {
        const DWORD chunk = DWORD(std::min(kWriteChunk, bytes.size() - at));
        DWORD written = 0;
        if (!WritePrinter(handle.handle(), const_cast<char*>(bytes.data() + at), chunk, &written) ||
            written == 0)
            return abandon(PrintFailure::Failed, quoted + ": sending the job failed: ");
        at += written;
    }
    if (!EndPagePrinter(handle.handle()) || !EndDocPrinter(handle.handle()))
        return abandon(PrintFailure::Refused, quoted + " did not take the job: ");
    *jobId = int(id);
    return true;
}

bool TakesPdfDocuments() {
    return false;
}

bool SendDocumentJob(const std::string& printer, const std::string& title, const char* format,
                     std::string_view bytes, const std::vector<std::pair<std::string, std::string>>& options,
                     int* jobId, PrintError* error) {
    *jobId = 0;
    const std::string_view type(format ? format : "");
    if (type == "application/vnd.cups-raw") return SendRawJob(printer, title, bytes, jobId, error);
    if (type == "image/png" || type == "image/jpeg")
        return SendPicture(printer, title, bytes, options, jobId, error);
    if (type == "application/pdf")
        return FailWith(error, PrintFailure::Failed,
                        "printer \"" + printer +
                            "\": PDF documents cannot be printed on Windows (the spooler takes no PDF)");
    return FailWith(error, PrintFailure::Failed,
                    "printer \"" + printer + "\": documents of type " + std::string(type) +
                        " cannot be printed on Windows");
}

} // namespace verolux::cups
