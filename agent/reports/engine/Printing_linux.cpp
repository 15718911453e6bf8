#include "agent/reports/engine/Printing.h"

#include "agent/reports/cups/CupsPrinters.h"
#include "agent/reports/engine/PdfExport.h"
#include "agent/reports/engine/PrintJobOptions.h"
#include "agent/reports/engine/Report.h"

#include <QIODevice>

namespace verolux::reports {

namespace {

// Bytes gathered before they go to the scheduler in one write.
constexpr qint64 kJobChunkBytes = 256 * 1024;

// The PDF writer's device for a print job: what it writes goes, in chunks, into the job's document.
class JobDevice : public QIODevice {
  public:
    explicit JobDevice(cups::PdfJob& job) : m_job(job) {
        m_buffer.reserve(kJobChunkBytes);
        open(QIODevice::WriteOnly);
    }
    bool isSequential() const override { return true; }
    bool flushChunk() {
        if (m_failed) return false;
        if (m_buffer.empty()) return true;
        std::string why;
        if (!m_job.write(m_buffer.data(), m_buffer.size(), &why)) {
            m_failed = true;
            setErrorString(QString::fromStdString(why));
        }
        m_buffer.clear();
        return !m_failed;
    }

  protected:
    qint64 readData(char*, qint64) override { return -1; }
    qint64 writeData(const char* data, qint64 size) override {
        if (m_failed) return -1;
        m_buffer.append(data, size_t(size));
        if (qint64(m_buffer.size()) >= kJobChunkBytes && !flushChunk()) return -1;
        return size;
    }

  private:
    cups::PdfJob& m_job;
    std::string m_buffer;
    bool m_failed = false;
};

} // namespace

int PrintReportTo(Report& report, const QString& printerName, const PrintOptions& options,
                  cups::PrintError* error) {
    std::string printer, why;
    if (!cups::ResolvePrinter(printerName.toStdString(), &printer, error)) return 0;

    // Lay out before the job exists, so a long layout does not hold a half-open job.
    report.pageCount();
    cups::PdfJob job;
    if (!job.open(printer, report.documentTitle().toStdString(), JobOptionsFor(report, options), error))
        return 0;
    JobDevice device(job);
    QString writeError;
    if (!WritePdf(report, device, &writeError, QPointF(options.offsetXMm, options.offsetYMm)) ||
        !device.flushChunk()) {
        cups::FailWith(
            error, cups::PrintFailure::Failed,
            "printer \"" + printer +
                "\": " + (device.errorString().isEmpty() ? writeError : device.errorString()).toStdString());
        return 0;
    }
    if (!job.finish(&why)) {
        cups::FailWith(error, cups::PrintFailure::Refused, why);
        return 0;
    }
    return job.jobId();
}

} // namespace verolux::reports
