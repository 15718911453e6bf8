#pragma once

#include <QByteArray>
#include <QIODevice>

#include <condition_variable>
#include <deque>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace verolux::reports {

// The object layer of a PDF file: numbered objects written one after another to a device, the
// cross-reference table at the end. Objects may be numbered before they are written (pages refer
// to fonts that are only complete at the end).
class PdfFile {
  public:
    explicit PdfFile(QIODevice& out);
    ~PdfFile();

    int reserve();
    void beginObject(int number);
    void endObject();
    void write(std::string_view text);
    // A stream object: `dict` is the inside of its dictionary without /Length and /Filter.
    // Compression levels as zlib: 1 fast (page contents), 6 default (fonts), 0 none.
    void writeStream(int number, std::string_view dict, std::string_view data, int level);
    // The same, compressed on a second thread while the caller goes on (page contents: compressing
    // them is a third of the work). Written in order of submission.
    void writeStreamLater(int number, std::string dict, std::string data, int level);
    void finish(int catalog, int info);
    bool ok() const { return m_ok; }

  private:
    struct Job {
        int number = 0, level = 0;
        std::string dict, data;
        QByteArray packed;
        bool done = false;
    };
    void startFile();
    void put(std::string_view text);
    void writePacked(int number, std::string_view dict, std::string_view body, bool compressed);
    void drain(bool all);
    void work();

    std::deque<Job> m_jobs;
    std::mutex m_mutex;
    std::condition_variable m_wake, m_doneSignal;
    bool m_stop = false;
    std::thread m_worker;

    QIODevice& m_out;
    std::vector<qint64> m_offsets; // by object number; 0 = not written
    qint64 m_pos = 0;
    bool m_ok = true;
};

// Number for PDF content: at most 3 decimals, no trailing zeros, no exponent.
void AppendPdfNumber(std::string& out, double v);

} // namespace verolux::reports
