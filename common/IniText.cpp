#include "common/IniText.h"

#include "common/TextTrim.h"

#include <algorithm>
#include <vector>

namespace mINI {
namespace {

struct Line {
    std::string_view content; // without its line ending
    std::size_t begin = 0;    // offset of the line in the text
    std::size_t end = 0;      // offset just past its line ending
};

// Lines end in CR LF, LF or a bare CR: a file whose last line ends in a bare CR must not have the
// next key glued onto that line.
std::vector<Line> SplitLines(std::string_view text) {
    std::vector<Line> lines;
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t stop = text.find_first_of("\r\n", pos);
        std::size_t next = text.size();
        if (stop == std::string_view::npos)
            stop = text.size();
        else
            next = stop + ((text[stop] == '\r' && stop + 1 < text.size() && text[stop + 1] == '\n') ? 2 : 1);
        lines.push_back({text.substr(pos, stop - pos), pos, next});
        pos = next;
    }
    return lines;
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string_view Trim(std::string_view s) {
    return verolux::TrimBlanks(s);
}

// ASCII-only case folding, as the profile functions compare names.
bool SameName(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; };
               return lower(x) == lower(y);
           });
}

// "[name]" → name. A line holding "=" is a key line even when it is bracketed at both ends
// ("[x].grf=http://h/t?a=[1]"): template names may begin with a bracket and URLs end with one. The
// sections the programs write never hold "=".
bool SectionName(std::string_view line, std::string_view& name) {
    std::string_view t = Trim(line);
    if (t.size() < 2 || t.front() != '[' || t.back() != ']') return false;
    if (t.find('=') != std::string_view::npos) return false;
    name = Trim(t.substr(1, t.size() - 2));
    return true;
}

// Whether line holds wantKey, and its value. A key is the text before the first "=", except that a
// wanted key holding "=" itself (template names may) is matched as the line's prefix up to its own
// "=": otherwise such a key could never be found again and every write would add another line.
bool KeyLine(std::string_view line, std::string_view wantKey, std::string_view& keyText,
             std::string_view& value) {
    std::size_t eq = line.find('=');
    if (eq == std::string_view::npos) return false;
    if (wantKey.find('=') != std::string_view::npos) {
        std::string_view rest = line;
        while (!rest.empty() && IsBlank(rest.front()))
            rest.remove_prefix(1);
        if (rest.size() <= wantKey.size() || !SameName(rest.substr(0, wantKey.size()), wantKey)) return false;
        std::string_view after = rest.substr(wantKey.size());
        while (!after.empty() && IsBlank(after.front()))
            after.remove_prefix(1);
        if (after.empty() || after.front() != '=') return false;
        keyText = rest.substr(0, wantKey.size());
        value = Trim(after.substr(1));
        return true;
    }
    keyText = Trim(line.substr(0, eq));
    value = Trim(line.substr(eq + 1));
    return SameName(keyText, wantKey);
}

struct Found {
    bool section = false;
    std::size_t sectionLine = 0; // index of the section's header line
    std::size_t lastContent = 0; // index of the section's last non-blank line
    bool key = false;
    std::size_t keyLine = 0;
    std::string_view keyText; // the key as the line spells it
    std::string_view value;
};

Found Find(const std::vector<Line>& lines, std::string_view section, std::string_view key) {
    Found f;
    std::string_view wantSection = Trim(section), wantKey = Trim(key);
    bool inside = false;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        std::string_view name;
        if (SectionName(lines[i].content, name)) {
            if (inside) break; // only the first section of that name counts
            if (SameName(name, wantSection)) {
                inside = true;
                f.section = true;
                f.sectionLine = f.lastContent = i;
            }
            continue;
        }
        if (!inside) continue;
        if (!Trim(lines[i].content).empty()) f.lastContent = i;
        std::string_view k, v;
        if (!f.key && KeyLine(lines[i].content, wantKey, k, v)) {
            f.key = true;
            f.keyLine = i;
            f.keyText = k;
            f.value = v;
        }
    }
    return f;
}

// Values may be written with surrounding quotes; the profile functions drop them on reading.
std::string_view Unquote(std::string_view v) {
    if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
        return v.substr(1, v.size() - 2);
    return v;
}

// The line ending the file already uses, so added lines match it.
std::string_view Eol(std::string_view text) {
    std::size_t nl = text.find('\n');
    if (nl != std::string_view::npos && (nl == 0 || text[nl - 1] != '\r')) return "\n";
    return "\r\n";
}

} // namespace

std::string CutUtf8(std::string_view text, std::size_t maxBytes) {
    if (text.size() <= maxBytes) return std::string(text);
    std::size_t cut = maxBytes;
    // Step back over continuation bytes so the last character stays whole.
    while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80)
        --cut;
    return std::string(text.substr(0, cut));
}

std::string LookupValue(std::string_view iniText, std::string_view section, std::string_view key) {
    auto lines = SplitLines(iniText);
    Found f = Find(lines, section, key);
    if (!f.key) return {};
    return CutUtf8(Unquote(f.value), kMaxValueBytes);
}

std::vector<IniName> ListNames(std::string_view iniText) {
    std::vector<IniName> names;
    std::string_view section;
    bool inSection = false;
    for (const Line& line : SplitLines(iniText)) {
        std::string_view name;
        if (SectionName(line.content, name)) {
            section = name;
            inSection = true;
            continue;
        }
        std::string_view t = Trim(line.content);
        std::size_t eq = t.find('=');
        if (!inSection || eq == std::string_view::npos || t.front() == ';' || t.front() == '#') continue;
        std::string_view key = Trim(t.substr(0, eq));
        if (!key.empty()) names.push_back({std::string(section), std::string(key)});
    }
    return names;
}

std::vector<std::pair<std::string, std::string>> SectionEntries(std::string_view iniText,
                                                                std::string_view section) {
    std::vector<std::pair<std::string, std::string>> entries;
    for (const IniName& n : ListNames(iniText)) {
        if (!SameName(n.section, Trim(section)) ||
            std::any_of(entries.begin(), entries.end(),
                        [&](const auto& e) { return SameName(e.first, n.key); }))
            continue;
        entries.emplace_back(n.key, LookupValue(iniText, section, n.key));
    }
    return entries;
}

std::string RemoveKey(std::string_view iniText, std::string_view section, std::string_view key) {
    const auto lines = SplitLines(iniText);
    const Found f = Find(lines, section, key);
    if (!f.key) return std::string(iniText);
    const Line& l = lines[f.keyLine];
    return std::string(iniText.substr(0, l.begin)) + std::string(iniText.substr(l.end));
}

std::string ReplaceValue(std::string_view iniText, std::string_view section, std::string_view key,
                         std::string_view value) {
    // A line break inside a value would end the line and inject further keys: keep one line.
    std::string flat(value);
    std::replace_if(
        flat.begin(), flat.end(), [](char c) { return c == '\r' || c == '\n'; }, ' ');

    auto lines = SplitLines(iniText);
    Found f = Find(lines, section, key);
    std::string_view eol = Eol(iniText);
    std::string out;
    out.reserve(iniText.size() + key.size() + flat.size() + section.size() + 8);

    if (f.key) {
        const Line& l = lines[f.keyLine];
        out.append(iniText.substr(0, l.begin));
        out.append(f.keyText).append("=").append(flat);
        out.append(iniText.substr(l.begin + l.content.size()));
        return out;
    }
    std::string keyLine = std::string(Trim(key)) + "=" + flat;
    if (f.section) {
        const Line& last = lines[f.lastContent];
        out.append(iniText.substr(0, last.end));
        if (last.end == last.begin + last.content.size()) // last line had no line ending
            out.append(eol);
        else if (iniText[last.end - 1] == '\r') // a bare CR becomes CR LF, which every reader takes as one
            out.append("\n");
        out.append(keyLine).append(eol);
        out.append(iniText.substr(last.end));
        return out;
    }
    out.append(iniText);
    if (!out.empty() && out.back() == '\r')
        out.append("\n");
    else if (!out.empty() && out.back() != '\n')
        out.append(eol);
    out.append("[").append(Trim(section)).append("]").append(eol);
    out.append(keyLine).append(eol);
    return out;
}

} // namespace mINI
