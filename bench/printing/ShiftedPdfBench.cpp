// A 100-page text PDF printed on a printer with an offset: the time to redraw it moved at 300 and
// 600 dpi (the pages rendered one at a time), the size of one page's picture and of the PDF written,
// and the process's peak memory. Without an offset the PDF goes as it is: nothing to redraw.
#include "agent/reports/windows/ShiftedPdf.h"

#include <QBuffer>
#include <QGuiApplication>
#include <QPainter>
#include <QPdfWriter>
#include <QTemporaryFile>

#include <chrono>
#include <cstdio>
#include <string>

#include <sys/resource.h>

namespace {

std::string HundredPages() {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    {
        QPdfWriter writer(&buffer);
        writer.setPageSize(QPageSize(QPageSize::A4));
        writer.setResolution(72);
        QPainter painter(&writer);
        painter.setFont(QFont(QStringLiteral("DejaVu Sans"), 9));
        for (int page = 0; page < 100; ++page) {
            if (page) writer.newPage();
            for (int line = 0; line < 60; ++line)
                painter.drawText(
                    40, 40 + line * 12,
                    QStringLiteral("Page %1 line %2: the quick brown fox jumps over the lazy dog 0123456789")
                        .arg(page + 1)
                        .arg(line + 1));
        }
    }
    return bytes.toStdString();
}

long PeakMiB() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024;
}

} // namespace

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    if (!verolux::ShiftedPdfSupported()) {
        std::puts("built without Qt PDF: nothing to measure");
        return 0;
    }
    const std::string pdf = HundredPages();
    std::printf("source: 100 A4 pages of text, %zu KiB; peak memory before redrawing %ld MiB\n",
                pdf.size() / 1024, PeakMiB());
    for (const int dpi : {300, 600}) {
        // Into a file, as the agent writes it: the output does not count against memory.
        QTemporaryFile out;
        out.open();
        verolux::PdfShift shift;
        shift.dpi = dpi;
        shift.shiftMm = [](QSizeF) { return QPointF(1.5, -0.8); };
        std::string error;
        const auto start = std::chrono::steady_clock::now();
        const bool ok = verolux::WriteShiftedPdf(pdf, shift, out, &error);
        const double ms =
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
        const int w = int(595.3 * dpi / 72 + 0.5), h = int(841.9 * dpi / 72 + 0.5);
        std::printf("%d dpi: %s %.0f ms (%.1f ms a page); page picture %d x %d (%.1f MiB rendered, 4 bytes a "
                    "pixel); PDF written %lld KiB; peak memory so far %ld MiB\n",
                    dpi, ok ? "redrawn in" : error.c_str(), ms, ms / 100, w, h, w * double(h) * 4 / (1 << 20),
                    static_cast<long long>(out.size() / 1024), PeakMiB());
    }
    return 0;
}
