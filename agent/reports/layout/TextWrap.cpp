#include "agent/reports/layout/TextWrap.h"

#include "common/Utf8Decode.h"

#include <algorithm>
#include <cstdint>

namespace verolux::reports {

namespace {

// Length of the UTF-8 sequence starting at s[i] and its code point.
size_t decode(std::string_view s, size_t i, uint32_t& cp) {
    char32_t c32 = 0;
    size_t n = DecodeUtf8(s, i, c32);
    cp = c32;
    return n;
}

bool isWide(uint32_t cp) {
    return (cp >= 0x2E80 && cp <= 0x9FFF) || (cp >= 0xAC00 && cp <= 0xD7AF) ||
           (cp >= 0xF900 && cp <= 0xFAFF) || (cp >= 0xFE30 && cp <= 0xFE4F) ||
           (cp >= 0xFF00 && cp <= 0xFFEF) || (cp >= 0x20000 && cp <= 0x2FFFF);
}

bool noLineStart(uint32_t cp) {
    switch (cp) {
    case 0xFF0C:
    case 0x3002:
    case 0x3001:
    case 0xFF01:
    case 0xFF1F:
    case 0xFF1B:
    case 0xFF1A:
    case 0xFF09:
    case 0x300D:
    case 0x300F:
    case 0x3011:
    case 0x300B:
    case 0x3009:
    case 0x201D:
    case 0x2019:
    case ',':
    case '.':
    case ';':
    case ':':
    case '!':
    case '?':
    case ')':
    case ']':
    case '}':
    case '%':
        return true;
    default:
        return false;
    }
}

// Tokens: a wide character, a run of blanks, or a run of other characters (a word), each followed by
// any closing punctuation that must stay with it.
size_t nextToken(std::string_view s, size_t i) {
    uint32_t cp;
    size_t n = decode(s, i, cp);
    size_t j = i + n;
    if (cp == ' ') {
        while (j < s.size() && s[j] == ' ')
            ++j;
        return j;
    }
    if (!isWide(cp)) {
        while (j < s.size()) {
            size_t m = decode(s, j, cp);
            if (cp == ' ' || cp == '\n' || isWide(cp)) break;
            j += m;
        }
    }
    while (j < s.size()) {
        size_t m = decode(s, j, cp);
        if (!noLineStart(cp) || cp == ' ') break;
        j += m;
    }
    return j;
}

// Wraps one paragraph after another into `out`, moving the marks along with the text they stand in.
// Linear in the length of the text: every character is decoded and measured a bounded number of times.
class Wrapper {
  public:
    Wrapper(std::string_view text, double width, int style, TextMeasurer& m, std::string& out,
            std::vector<uint32_t>* marks)
        : m_text(text), m_width(width), m_style(style), m_m(m), m_out(out), m_base(out.size()),
          m_marks(marks) {}

    int run() {
        size_t start = 0;
        for (;;) {
            const size_t nl = m_text.find('\n', start);
            const size_t end = nl == std::string_view::npos ? m_text.size() : nl;
            if (m_lines > 0) m_out += '\n';
            paragraph(start, end);
            if (nl == std::string_view::npos) break;
            start = nl + 1;
        }
        if (m_marks)
            for (; m_mark < m_marks->size(); ++m_mark)
                (*m_marks)[m_mark] = static_cast<uint32_t>(m_out.size() - m_base);
        return m_lines;
    }

  private:
    // Appends text[from, to) as it stands; a mark up to `to` lands in it (one in dropped blanks before
    // `from` at its start), so a mark stays with the word before it.
    void copy(size_t from, size_t to) {
        const size_t at = m_out.size() - m_base;
        if (m_marks) {
            auto& marks = *m_marks;
            for (; m_mark < marks.size() && marks[m_mark] <= to; ++m_mark)
                marks[m_mark] = static_cast<uint32_t>(at + (marks[m_mark] > from ? marks[m_mark] - from : 0));
        }
        m_out.append(m_text.substr(from, to - from));
    }

    // A line from `start` to `end`, without the blanks at its end.
    void line(size_t start, size_t end) {
        while (end > start && m_text[end - 1] == ' ')
            --end;
        if (m_lineInParagraph++ > 0) m_out += '\n';
        copy(start, end);
        ++m_lines;
    }

    void paragraph(size_t begin, size_t end) {
        m_lineInParagraph = 0;
        const std::string_view para = m_text.substr(begin, end - begin);
        if (para.empty() || m_m.textWidth(m_style, para) <= m_width) {
            copy(begin, end);
            ++m_lines;
            return;
        }
        size_t lineStart = begin;
        double lineWidth = 0;
        for (size_t i = begin; i < end;) {
            const size_t tokenEnd = begin + nextToken(para, i - begin);
            const std::string_view token = m_text.substr(i, tokenEnd - i);
            const bool blank = token.front() == ' ';
            if (blank && i == lineStart) { // blanks at the start of a wrapped line are dropped
                lineStart = i = tokenEnd;
                continue;
            }
            const double w = m_m.textWidth(m_style, token);
            if (lineWidth + w <= m_width || blank) {
                lineWidth += w;
                i = tokenEnd;
                continue;
            }
            if (i > lineStart) { // break before this token
                line(lineStart, i);
                lineStart = i;
                lineWidth = 0;
                continue;
            }
            // A single token wider than a line: cut it between characters, as often as it takes; what is
            // left of it begins the next line.
            double acc = 0;
            for (size_t j = i; j < tokenEnd;) {
                uint32_t cp;
                const size_t n = decode(m_text, j, cp);
                const double cw = m_m.textWidth(m_style, m_text.substr(j, n));
                if (acc + cw > m_width && j > lineStart) {
                    line(lineStart, j);
                    lineStart = j;
                    acc = 0;
                }
                acc += cw;
                j += n;
            }
            lineWidth = acc;
            i = tokenEnd;
        }
        if (lineStart < end) line(lineStart, end);
    }

    std::string_view m_text;
    double m_width;
    int m_style;
    TextMeasurer& m_m;
    std::string& m_out;
    size_t m_base;
    std::vector<uint32_t>* m_marks;
    size_t m_mark = 0;
    int m_lines = 0, m_lineInParagraph = 0;
};

} // namespace

int WrapText(std::string_view text, double width, int style, TextMeasurer& measurer, std::string& out,
             std::vector<uint32_t>* marks) {
    return Wrapper(text, width, style, measurer, out, marks).run();
}

void ClipLongLines(std::string_view text, double keepWidth, int style, TextMeasurer& measurer,
                   std::string& out, std::vector<uint32_t>* marks) {
    const size_t base = out.size();
    size_t mark = 0;
    // Appends text[from, to); marks up to `dropEnd` (the end of what this piece stands for) land in it.
    auto copy = [&](size_t from, size_t to, size_t dropEnd) {
        const size_t at = out.size() - base;
        if (marks)
            for (; mark < marks->size() && (*marks)[mark] <= dropEnd; ++mark)
                (*marks)[mark] = static_cast<uint32_t>(at + std::min(size_t((*marks)[mark]), to) - from);
        out.append(text.substr(from, to - from));
    };
    size_t start = 0;
    for (;;) {
        const size_t nl = text.find('\n', start);
        const size_t end = nl == std::string_view::npos ? text.size() : nl;
        size_t keep = end;
        if (end - start > kClipLineBytes) {
            double width = 0;
            for (keep = start; keep < end && width < keepWidth;) {
                char32_t cp;
                const size_t n = DecodeUtf8(text, keep, cp);
                width += measurer.textWidth(style, text.substr(keep, n));
                keep += n;
            }
        }
        copy(start, keep, end);
        if (nl == std::string_view::npos) break;
        out += '\n';
        start = nl + 1;
    }
    if (marks)
        for (; mark < marks->size(); ++mark)
            (*marks)[mark] = static_cast<uint32_t>(out.size() - base);
}

int CountLines(std::string_view text) {
    int n = 1;
    for (char c : text)
        n += c == '\n';
    return n;
}

} // namespace verolux::reports
