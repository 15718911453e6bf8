#include "agent/reports/engine/PdfFile.h"

#include <charconv>
#include <cmath>
#include <cstdio>

namespace verolux::reports {

PdfFile::PdfFile(QIODevice& out) : m_out(out) {
    m_offsets.push_back(0); // object 0 is the free-list head
}

PdfFile::~PdfFile() {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stop = true;
    }
    m_wake.notify_all();
    if (m_worker.joinable()) m_worker.join();
}

void PdfFile::work() {
    std::unique_lock<std::mutex> lock(m_mutex);
    for (;;) {
        m_wake.wait(lock, [&] {
            if (m_stop) return true;
            for (const Job& j : m_jobs)
                if (!j.done) return true;
            return false;
        });
        Job* job = nullptr;
        for (Job& j : m_jobs)
            if (!j.done) {
                job = &j;
                break;
            }
        if (!job) return; // stopping and nothing left
        // std::deque keeps element addresses while others are appended at the end.
        const std::string& data = job->data;
        const int level = job->level;
        lock.unlock();
        QByteArray packed =
            qCompress(reinterpret_cast<const uchar*>(data.data()), qsizetype(data.size()), level);
        lock.lock();
        job->packed = std::move(packed);
        job->done = true;
        m_doneSignal.notify_all();
    }
}

void PdfFile::writeStreamLater(int number, std::string dict, std::string data, int level) {
    if (data.empty() || level <= 0) {
        writeStream(number, dict, data, level);
        return;
    }
    if (!m_worker.joinable()) m_worker = std::thread([this] { work(); });
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        Job job;
        job.number = number;
        job.level = level;
        job.dict = std::move(dict);
        job.data = std::move(data);
        m_jobs.push_back(std::move(job));
    }
    m_wake.notify_one();
    drain(false);
    // Bound the memory held by pages waiting for the compressor.
    while (m_jobs.size() > 8)
        drain(true);
}

// Writes finished jobs in submission order; with `all`, waits for the oldest one at least.
void PdfFile::drain(bool all) {
    for (;;) {
        Job job;
        {
            std::unique_lock<std::mutex> lock(m_mutex);
            if (m_jobs.empty()) return;
            if (!m_jobs.front().done) {
                if (!all) return;
                m_doneSignal.wait(lock, [&] { return m_jobs.front().done; });
            }
            job = std::move(m_jobs.front());
            m_jobs.pop_front();
        }
        writePacked(job.number, job.dict,
                    std::string_view(job.packed.constData() + 4, size_t(job.packed.size() - 4)), true);
        if (all) return;
    }
}

void PdfFile::writePacked(int number, std::string_view dict, std::string_view body, bool compressed) {
    beginObject(number);
    std::string head = "<<";
    head += dict;
    head += " /Length " + std::to_string(body.size());
    if (compressed) head += " /Filter /FlateDecode";
    head += ">>\nstream\n";
    write(head);
    write(body);
    write("\nendstream");
    endObject();
}

int PdfFile::reserve() {
    m_offsets.push_back(0);
    return static_cast<int>(m_offsets.size() - 1);
}

void PdfFile::write(std::string_view text) {
    if (text.empty()) return;
    startFile();
    put(text);
}

// The header goes out with the first object: a writer that gives up before that leaves the device
// untouched, for another writer to take over.
void PdfFile::startFile() {
    if (m_pos == 0) put("%PDF-1.4\n%\xE2\xE3\xCF\xD3\n");
}

void PdfFile::put(std::string_view text) {
    if (m_out.write(text.data(), qint64(text.size())) != qint64(text.size())) m_ok = false;
    m_pos += qint64(text.size());
}

void PdfFile::beginObject(int number) {
    startFile();
    m_offsets[size_t(number)] = m_pos;
    write(std::to_string(number) + " 0 obj\n");
}

void PdfFile::endObject() {
    write("\nendobj\n");
}

void PdfFile::writeStream(int number, std::string_view dict, std::string_view data, int level) {
    if (level <= 0 || data.empty()) {
        writePacked(number, dict, data, false);
        return;
    }
    // qCompress gives a zlib stream behind a 4-byte length: exactly FlateDecode after the prefix.
    QByteArray packed = qCompress(reinterpret_cast<const uchar*>(data.data()), qsizetype(data.size()), level);
    writePacked(number, dict, std::string_view(packed.constData() + 4, size_t(packed.size() - 4)), true);
}

void PdfFile::finish(int catalog, int info) {
    while (!m_jobs.empty())
        drain(true);
    const qint64 xref = m_pos;
    std::string t = "xref\n0 " + std::to_string(m_offsets.size()) + "\n0000000000 65535 f \n";
    char line[24];
    for (size_t i = 1; i < m_offsets.size(); ++i) {
        std::snprintf(line, sizeof line, "%010lld 00000 n \n", static_cast<long long>(m_offsets[i]));
        t += line;
    }
    t += "trailer\n<</Size " + std::to_string(m_offsets.size()) + " /Root " + std::to_string(catalog) +
         " 0 R /Info " + std::to_string(info) + " 0 R>>\nstartxref\n" + std::to_string(xref) + "\n%%EOF\n";
    write(t);
}

void AppendPdfNumber(std::string& out, double v) {
    long long scaled = std::llround(v * 1000);
    if (scaled < 0) {
        out += '-';
        scaled = -scaled;
    }
    char buf[32];
    auto [p, ec] = std::to_chars(buf, buf + sizeof buf, scaled / 1000);
    out.append(buf, p);
    int frac = int(scaled % 1000);
    if (frac) {
        out += '.';
        char d[3] = {char('0' + frac / 100), char('0' + frac / 10 % 10), char('0' + frac % 10)};
        int n = d[2] != '0' ? 3 : d[1] != '0' ? 2 : 1;
        out.append(d, size_t(n));
    }
}

} // namespace verolux::reports
