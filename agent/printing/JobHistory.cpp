#include "agent/printing/JobHistory.h"

#include "common/JsonEscape.h"
#include "common/JsonReader.h"

#include <algorithm>

namespace verolux {
namespace {

std::string Cut(std::string_view text) {
    if (text.size() <= kMaxHistoryField) return std::string(text);
    std::size_t end = kMaxHistoryField;
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) // not inside a character
        --end;
    return std::string(text.substr(0, end));
}

} // namespace

std::uint64_t JobHistory::Add(HistoryEntry e) {
    e.id = m_nextId++;
    for (std::string* field : {&e.time, &e.origin, &e.kind, &e.what, &e.printer, &e.state})
        *field = Cut(*field);
    m_entries.push_back(std::move(e));
    while (m_entries.size() > kHistoryEntries)
        m_entries.pop_front();
    return m_entries.back().id;
}

bool JobHistory::SetState(std::uint64_t id, std::string_view state) {
    for (HistoryEntry& e : m_entries)
        if (e.id == id) {
            e.state = Cut(state);
            return true;
        }
    return false;
}

const HistoryEntry* JobHistory::Find(std::uint64_t id) const {
    const auto it =
        std::find_if(m_entries.begin(), m_entries.end(), [id](const HistoryEntry& e) { return e.id == id; });
    return it == m_entries.end() ? nullptr : &*it;
}

std::string JobHistory::ToText() const {
    std::string out;
    for (const HistoryEntry& e : m_entries) {
        out += "{\"time\":";
        AppendJsonString(out, e.time);
        out += ",\"origin\":";
        AppendJsonString(out, e.origin);
        out += ",\"kind\":";
        AppendJsonString(out, e.kind);
        out += ",\"what\":";
        AppendJsonString(out, e.what);
        out += ",\"printer\":";
        AppendJsonString(out, e.printer);
        out += ",\"state\":";
        AppendJsonString(out, e.state);
        out += "}\n";
    }
    return out;
}

JobHistory JobHistory::FromText(std::string_view text) {
    JobHistory history;
    while (!text.empty()) {
        const std::size_t end = std::min(text.find('\n'), text.size());
        const std::string_view line = text.substr(0, end);
        text.remove_prefix(std::min(end + 1, text.size()));
        try {
            const JsonDocument doc = JsonDocument::Parse(line);
            const JsonValue root = doc.root();
            if (!root.isObject()) continue;
            HistoryEntry e;
            e.time = root.value("time").text;
            e.origin = root.value("origin").text;
            e.kind = root.value("kind").text;
            e.what = root.value("what").text;
            e.printer = root.value("printer").text;
            e.state = root.value("state").text;
            history.Add(std::move(e));
        } catch (const JsonError&) {
        }
    }
    return history;
}

} // namespace verolux
