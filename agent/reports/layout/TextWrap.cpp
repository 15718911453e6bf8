#include "agent/reports/layout/TextWrap.h"

#include "common/Utf8Decode.h"

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

void wrapParagraph(std::string_view para, double width, int style, TextMeasurer& m, std::string& out,
                   int& lines) {
    if (para.empty() || m.textWidth(style, para) <= width) {
        out.append(para);
        ++lines;
        return;
    }
    size_t lineStart = 0;
    double lineWidth = 0;
    auto emit = [&](size_t end) {
        std::string_view l = para.substr(lineStart, end - lineStart);
        while (!l.empty() && l.back() == ' ')
            l.remove_suffix(1);
        if (lines > 0 || !out.empty()) out += '\n';
        out.append(l);
        ++lines;
    };
    size_t i = 0;
    while (i < para.size()) {
        size_t end = nextToken(para, i);
        std::string_view tok = para.substr(i, end - i);
        bool blank = tok.front() == ' ';
        if (blank && i == lineStart) { // blanks at the start of a wrapped line are dropped
            lineStart = i = end;
            continue;
        }
        double w = m.textWidth(style, tok);
        if (lineWidth + w <= width || blank) {
            lineWidth += w;
            i = end;
            continue;
        }
        if (i > lineStart) { // break before this token
            emit(i);
            lineStart = i;
            lineWidth = 0;
            continue;
        }
        // A single token wider than the line: cut it between characters.
        size_t j = i;
        double acc = 0;
        while (j < end) {
            uint32_t cp;
            size_t n = decode(para, j, cp);
            double cw = m.textWidth(style, para.substr(j, n));
            if (acc + cw > width && j > i) break;
            acc += cw;
            j += n;
        }
        emit(j);
        lineStart = i = j;
        lineWidth = 0;
    }
    if (lineStart < para.size()) emit(para.size());
}

} // namespace

int WrapText(std::string_view text, double width, int style, TextMeasurer& measurer, std::string& out) {
    int lines = 0;
    size_t start = 0;
    for (;;) {
        size_t nl = text.find('\n', start);
        std::string_view para =
            text.substr(start, nl == std::string_view::npos ? std::string_view::npos : nl - start);
        if (lines > 0) out += '\n';
        int before = lines;
        std::string piece;
        int n = 0;
        wrapParagraph(para, width, style, measurer, piece, n);
        out += piece;
        lines = before + n;
        if (nl == std::string_view::npos) break;
        start = nl + 1;
    }
    return lines;
}

int CountLines(std::string_view text) {
    int n = 1;
    for (char c : text)
        n += c == '\n';
    return n;
}

} // namespace verolux::reports
