#pragma once

#include "agent/reports/cups/CupsJob.h"

#include <windows.h>

#include <string>
#include <vector>

// A print job drawn through GDI onto a Windows printer: the DEVMODE carries the job options, the
// pages go to the driver as bitmaps. Windows only; no Qt (callers render the pages).
namespace verolux::cups::win {

// Pixels, top row first: 32 bits (blue, green, red, unused) or, when `gray`, 8 bits of grey. Rows
// are `stride` bytes apart, a multiple of 4 as GDI wants them.
struct Bitmap {
    const void* bits = nullptr;
    int width = 0, height = 0, stride = 0;
    bool gray = false;
};

class GdiJob {
  public:
    GdiJob() = default;
    ~GdiJob(); // a job not finished is cancelled
    GdiJob(const GdiJob&) = delete;
    GdiJob& operator=(const GdiJob&) = delete;

    // Opens the printer with the options in its DEVMODE and starts the document; false with a reason
    // when the printer does not exist or refuses.
    bool open(const std::string& printer, const std::string& title, const JobOptions& options,
              std::string* error);
    bool open(const std::string& printer, const std::string& title, const JobOptions& options,
              PrintError* error);
    int jobId() const { return m_jobId; }
    // Copies the caller draws itself: the driver makes the others (1 when it makes them all).
    int copiesToDraw() const { return m_copiesToDraw; }
    // The device's pixels per inch.
    int dpiX() const { return m_dpiX; }
    int dpiY() const { return m_dpiY; }
    // The sheet as the device sees it (orientation applied), in millimetres.
    double paperWidthMm() const { return m_paperWidthMm; }
    double paperHeightMm() const { return m_paperHeightMm; }
    // The part of the sheet the device prints on, in millimetres from the sheet's top-left corner.
    double printableXMm() const { return m_offsetX * 25.4 / m_dpiX; }
    double printableYMm() const { return m_offsetY * 25.4 / m_dpiY; }
    double printableWidthMm() const { return m_printableWidthMm; }
    double printableHeightMm() const { return m_printableHeightMm; }

    bool startPage(std::string* error);
    // Draws the bitmap into the box given in millimetres from the sheet's top-left corner, moved by the
    // job's offset (the printer's calibration).
    bool draw(const Bitmap& bitmap, double xMm, double yMm, double widthMm, double heightMm,
              std::string* error);
    bool endPage(std::string* error);
    // Ends the document: the spooler takes the job.
    bool finish(std::string* error);
    void cancel();

  private:
    bool fail(std::string* error, const std::string& why);

    std::string m_printer;
    HDC m_dc = nullptr;
    int m_jobId = 0;
    int m_copiesToDraw = 1;
    int m_dpiX = 0, m_dpiY = 0;
    int m_offsetX = 0, m_offsetY = 0;    // the printable area's origin from the sheet's corner, in pixels
    double m_moveXMm = 0, m_moveYMm = 0; // the printer's calibration
    double m_paperWidthMm = 0, m_paperHeightMm = 0;
    double m_printableWidthMm = 0, m_printableHeightMm = 0;
    bool m_pageOpen = false, m_finished = false;
};

} // namespace verolux::cups::win
