#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>
#include <string_view>

namespace verolux {

// One job the agent carried out, as the print history shows it: no row data, no document, no
// headers; what it printed is named (the template, the document's address) but not kept.
struct HistoryEntry {
    std::uint64_t id = 0;
    std::string time;    // local "2026-12-07 21:52:03"
    std::string origin;  // the page's site; "" for the test button and reprints
    std::string kind;    // "report", "raw", "document"
    std::string what;    // the template's name, the document's URL, "Base64", the byte count of a raw job
    std::string printer; // as asked; "" for the default
    std::string state;   // "accepted" until its final event: "completed", "failed", "uploaded", ...
    friend bool operator==(const HistoryEntry&, const HistoryEntry&) = default;
};

inline constexpr std::size_t kHistoryEntries = 200;
// A field longer than this is cut: the file stays small whatever a page sends.
inline constexpr std::size_t kMaxHistoryField = 512;

// The last kHistoryEntries jobs, oldest first. No I/O: the file's text in and out.
class JobHistory {
  public:
    // Adds a job (its id given here) and drops the oldest beyond the limit; returns its id.
    std::uint64_t Add(HistoryEntry entry);
    // False when the entry has gone meanwhile.
    bool SetState(std::uint64_t id, std::string_view state);
    const HistoryEntry* Find(std::uint64_t id) const;
    const std::deque<HistoryEntry>& entries() const { return m_entries; }

    // One JSON object a line, oldest first.
    std::string ToText() const;
    // Reads what ToText wrote; lines that are not entries are skipped, the limit holds.
    static JobHistory FromText(std::string_view text);

  private:
    std::deque<HistoryEntry> m_entries;
    std::uint64_t m_nextId = 1;
};

} // namespace verolux
