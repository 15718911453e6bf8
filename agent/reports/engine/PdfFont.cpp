#include "agent/reports/engine/PdfFont.h"

#include <map>
#include <mutex>

#include "common/Utf8Decode.h"

#include <QFontInfo>

#include <algorithm>
#include <cstdio>
#include <set>

namespace verolux::reports {

namespace {

uint16_t u16(const QByteArray& b, int at) {
    if (at < 0 || at + 2 > b.size()) return 0;
    return uint16_t((uint8_t(b[at]) << 8) | uint8_t(b[at + 1]));
}
int16_t s16(const QByteArray& b, int at) {
    return int16_t(u16(b, at));
}
uint32_t u32(const QByteArray& b, int at) {
    return (uint32_t(u16(b, at)) << 16) | u16(b, at + 2);
}

void put16(QByteArray& b, uint16_t v) {
    b.append(char(v >> 8));
    b.append(char(v & 0xFF));
}
void put32(QByteArray& b, uint32_t v) {
    put16(b, uint16_t(v >> 16));
    put16(b, uint16_t(v & 0xFFFF));
}
void set16(QByteArray& b, int at, uint16_t v) {
    b[at] = char(v >> 8);
    b[at + 1] = char(v & 0xFF);
}

uint32_t checksum(const QByteArray& t) {
    uint32_t sum = 0;
    for (int i = 0; i < t.size(); i += 4) {
        uint32_t v = 0;
        for (int k = 0; k < 4; ++k)
            v = (v << 8) | (i + k < t.size() ? uint8_t(t[i + k]) : 0);
        sum += v;
    }
    return sum;
}

void hex4(std::string& out, uint32_t v) {
    static const char digits[] = "0123456789ABCDEF";
    out += digits[(v >> 12) & 15];
    out += digits[(v >> 8) & 15];
    out += digits[(v >> 4) & 15];
    out += digits[v & 15];
}

std::string utf16Hex(char32_t cp) {
    std::string s;
    if (cp >= 0x10000) {
        cp -= 0x10000;
        hex4(s, 0xD800 + (cp >> 10));
        hex4(s, 0xDC00 + (cp & 0x3FF));
    } else {
        hex4(s, cp);
    }
    return s;
}

struct FontTables {
    QByteArray head, hhea, maxp, hmtx, loca, glyf, cvt, fpgm, prep;
};

// The raw font's family. Qt 6.4's Windows font engines leave its family list empty, where
// QRawFont::familyName() reads past it: there the family asked for stands in.
QString FamilyOf(const QRawFont& raw, const QFont& font) {
#ifdef Q_OS_WIN
    Q_UNUSED(raw);
    return font.family();
#else
    Q_UNUSED(font);
    return raw.familyName();
#endif
}

// Copying a CJK font's tables out of Qt takes longer than writing a small report, and the agent
// exports with the same few fonts all day: keep them (QByteArray shares, so each export costs nothing).
const FontTables& CachedTables(const QRawFont& raw, const QFont& font) {
    static std::mutex mutex;
    static std::map<QString, FontTables> cache;
    const QString key = FamilyOf(raw, font) + QLatin1Char('/') + raw.styleName() + QLatin1Char('/') +
                        QString::number(raw.weight()) + QLatin1Char('/') + QString::number(int(raw.style()));
    std::lock_guard<std::mutex> lock(mutex);
    auto it = cache.find(key);
    if (it == cache.end()) {
        FontTables t{raw.fontTable("head"), raw.fontTable("hhea"), raw.fontTable("maxp"),
                     raw.fontTable("hmtx"), raw.fontTable("loca"), raw.fontTable("glyf"),
                     raw.fontTable("cvt "), raw.fontTable("fpgm"), raw.fontTable("prep")};
        it = cache.emplace(key, std::move(t)).first;
    }
    return it->second;
}

} // namespace

std::unique_ptr<PdfFont> PdfFont::create(const QFont& font) {
    std::unique_ptr<PdfFont> f(new PdfFont());
    f->m_raw = QRawFont::fromFont(font);
    if (!f->m_raw.isValid()) return nullptr;
    const FontTables& t = CachedTables(f->m_raw, font);
    f->m_glyf = t.glyf;
    f->m_loca = t.loca;
    f->m_head = t.head;
    f->m_hhea = t.hhea;
    f->m_maxp = t.maxp;
    f->m_hmtx = t.hmtx;
    if (f->m_glyf.isEmpty() || f->m_loca.isEmpty() || f->m_head.size() < 54 || f->m_hhea.size() < 36 ||
        f->m_maxp.size() < 6 || f->m_hmtx.isEmpty())
        return nullptr;
    f->m_cvt = t.cvt;
    f->m_fpgm = t.fpgm;
    f->m_prep = t.prep;
    f->m_unitsPerEm = std::max<int>(16, u16(f->m_head, 18));
    f->m_longLoca = s16(f->m_head, 50) == 1;
    f->m_numGlyphs = u16(f->m_maxp, 4);
    f->m_numHMetrics = std::max<int>(1, u16(f->m_hhea, 34));
    const int locaEntries = f->m_longLoca ? f->m_loca.size() / 4 : f->m_loca.size() / 2;
    if (locaEntries < f->m_numGlyphs + 1) return nullptr;
    // What the file itself is (macStyle), not what was asked for: Qt reports a synthesized bold as bold.
    const uint16_t macStyle = u16(f->m_head, 44);
    f->m_bold = macStyle & 1;
    f->m_italic = macStyle & 2;
    f->boldRequested = font.bold();
    f->italicRequested = font.italic();
    f->m_identity = FamilyOf(f->m_raw, font) + QLatin1Char('/') + f->m_raw.styleName();
    QString ps;
    for (QChar c : FamilyOf(f->m_raw, font) + f->m_raw.styleName())
        if (c.unicode() > 32 && c.unicode() < 127 && c != QLatin1Char('/') && c != QLatin1Char('(') &&
            c != QLatin1Char(')') && c != QLatin1Char('<') && c != QLatin1Char('>') &&
            c != QLatin1Char('[') && c != QLatin1Char(']') && c != QLatin1Char('{') &&
            c != QLatin1Char('}') && c != QLatin1Char('%'))
            ps += c;
    f->m_postscriptName = ps.isEmpty() ? QStringLiteral("Font") : ps;
    f->m_ascii.fill(-1);
    f->m_used.emplace(0, 0);
    return f;
}

quint32 GlyphIndex(const QRawFont& font, char32_t cp) {
    QChar chars[2];
    int n = 1;
    if (cp >= 0x10000) {
        chars[0] = QChar(QChar::highSurrogate(cp));
        chars[1] = QChar(QChar::lowSurrogate(cp));
        n = 2;
    } else {
        chars[0] = QChar(char16_t(cp));
    }
    quint32 glyphs[2] = {0, 0};
    int count = 2;
    if (!font.glyphIndexesForChars(chars, n, glyphs, &count) || count < 1) return 0;
    return glyphs[0];
}

uint16_t PdfFont::glyphFor(char32_t cp) {
    if (cp < 128 && m_ascii[cp] >= 0) return uint16_t(m_ascii[cp]);
    if (cp >= 128) {
        auto it = m_cmap.find(cp);
        if (it != m_cmap.end()) return it->second;
    }
    const quint32 glyph = GlyphIndex(m_raw, cp);
    uint16_t gid = glyph < uint32_t(m_numGlyphs) ? uint16_t(glyph) : 0;
    if (cp < 128)
        m_ascii[cp] = gid;
    else
        m_cmap.emplace(cp, gid);
    return gid;
}

void PdfFont::encode(std::string_view s, std::string& hex) {
    for (size_t i = 0; i < s.size();) {
        char32_t cp;
        i += DecodeUtf8(s, i, cp);
        uint16_t gid = glyphFor(cp);
        m_used.emplace(gid, cp);
        hex4(hex, gid);
    }
}

int PdfFont::advance(uint16_t gid) const {
    int idx = std::min<int>(gid, m_numHMetrics - 1);
    return u16(m_hmtx, idx * 4);
}

// Keeps every glyph id (so the PDF can use the font's own ids) but drops the outlines of glyphs the
// document does not show: an embedded CJK font shrinks from megabytes to the few glyphs used.
QByteArray PdfFont::subsetFontFile() const {
    auto locaAt = [&](int g) -> uint32_t {
        return m_longLoca ? u32(m_loca, g * 4) : uint32_t(u16(m_loca, g * 2)) * 2;
    };
    std::set<int> keep;
    std::vector<int> todo;
    for (const auto& [gid, cp] : m_used)
        todo.push_back(gid);
    while (!todo.empty()) {
        int g = todo.back();
        todo.pop_back();
        if (g >= m_numGlyphs || !keep.insert(g).second) continue;
        uint32_t start = locaAt(g), end = locaAt(g + 1);
        if (end <= start || end > uint32_t(m_glyf.size())) continue;
        if (s16(m_glyf, int(start)) >= 0) continue;
        // Composite glyph: keep its components too.
        int at = int(start) + 10;
        for (int guard = 0; guard < 64; ++guard) {
            uint16_t flags = u16(m_glyf, at);
            todo.push_back(u16(m_glyf, at + 2));
            at += 4 + ((flags & 0x1) ? 4 : 2);
            if (flags & 0x8)
                at += 2;
            else if (flags & 0x40)
                at += 4;
            else if (flags & 0x80)
                at += 8;
            if (!(flags & 0x20)) break;
        }
    }
    QByteArray glyf, loca;
    for (int g = 0; g < m_numGlyphs; ++g) {
        put32(loca, uint32_t(glyf.size()));
        if (!keep.count(g)) continue;
        uint32_t start = locaAt(g), end = locaAt(g + 1);
        if (end > start && end <= uint32_t(m_glyf.size())) {
            glyf.append(m_glyf.constData() + start, qsizetype(end - start));
            while (glyf.size() % 4)
                glyf.append('\0');
        }
    }
    put32(loca, uint32_t(glyf.size()));
    QByteArray head = m_head;
    set16(head, 8, 0); // checkSumAdjustment: not checked by PDF readers
    set16(head, 10, 0);
    set16(head, 50, 1); // long loca offsets
    QByteArray hmtx = m_hmtx;
    for (int g = 0; g < m_numGlyphs && g < m_numHMetrics; ++g) // widths of dropped glyphs compress away
        if (!keep.count(g)) set16(hmtx, g * 4 + 2, 0);

    struct Table {
        const char* tag;
        QByteArray data;
    };
    std::vector<Table> tables = {{"cvt ", m_cvt}, {"fpgm", m_fpgm}, {"glyf", glyf},
                                 {"head", head},  {"hhea", m_hhea}, {"hmtx", hmtx},
                                 {"loca", loca},  {"maxp", m_maxp}, {"prep", m_prep}};
    tables.erase(
        std::remove_if(tables.begin(), tables.end(), [](const Table& t) { return t.data.isEmpty(); }),
        tables.end());
    const uint16_t n = uint16_t(tables.size());
    uint16_t entrySelector = 0;
    while ((2u << entrySelector) <= n)
        ++entrySelector;
    const uint16_t searchRange = uint16_t(16u << entrySelector);
    QByteArray out;
    put32(out, 0x00010000);
    put16(out, n);
    put16(out, searchRange);
    put16(out, entrySelector);
    put16(out, uint16_t(n * 16 - searchRange));
    uint32_t offset = 12 + 16u * n;
    for (const Table& t : tables) {
        out.append(t.tag, 4);
        put32(out, checksum(t.data));
        put32(out, offset);
        put32(out, uint32_t(t.data.size()));
        offset += uint32_t((t.data.size() + 3) / 4 * 4);
    }
    for (const Table& t : tables) {
        out.append(t.data);
        while (out.size() % 4)
            out.append('\0');
    }
    return out;
}

void PdfFont::write(PdfFile& file, int type0) {
    const int cid = file.reserve(), descriptor = file.reserve(), fontFile = file.reserve(),
              toUnicode = file.reserve();
    const double scale = 1000.0 / m_unitsPerEm;
    // A subset tag in the name, as readers expect of subset fonts: six letters from the glyph set.
    uint32_t h = 2166136261u;
    for (const auto& [gid, cp] : m_used)
        h = (h ^ gid) * 16777619u;
    std::string tag;
    for (int i = 0; i < 6; ++i, h /= 26)
        tag += char('A' + h % 26);
    const std::string name = tag + "+" + m_postscriptName.toStdString();

    std::string t = "<</Type /Font /Subtype /Type0 /BaseFont /" + name +
                    " /Encoding /Identity-H /DescendantFonts [" + std::to_string(cid) + " 0 R] /ToUnicode " +
                    std::to_string(toUnicode) + " 0 R>>";
    file.beginObject(type0);
    file.write(t);
    file.endObject();

    std::vector<uint16_t> glyphs;
    for (const auto& [gid, cp] : m_used)
        glyphs.push_back(gid);
    std::sort(glyphs.begin(), glyphs.end());
    t = "<</Type /Font /Subtype /CIDFontType2 /BaseFont /" + name +
        " /CIDSystemInfo <</Registry (Adobe) /Ordering (Identity) /Supplement 0>> /FontDescriptor " +
        std::to_string(descriptor) + " 0 R /CIDToGIDMap /Identity /W [";
    for (uint16_t g : glyphs) {
        t += std::to_string(g) + " [";
        AppendPdfNumber(t, advance(g) * scale);
        t += "] ";
    }
    t += "]>>";
    file.beginObject(cid);
    file.write(t);
    file.endObject();

    t = "<</Type /FontDescriptor /FontName /" + name + " /Flags 4 /FontBBox [";
    for (int i = 0; i < 4; ++i) {
        AppendPdfNumber(t, s16(m_head, 36 + 2 * i) * scale);
        t += i < 3 ? " " : "";
    }
    t += "] /ItalicAngle 0 /Ascent ";
    AppendPdfNumber(t, s16(m_hhea, 4) * scale);
    t += " /Descent ";
    AppendPdfNumber(t, s16(m_hhea, 6) * scale);
    t += " /CapHeight ";
    AppendPdfNumber(t, s16(m_hhea, 4) * scale);
    t += " /StemV 80 /FontFile2 " + std::to_string(fontFile) + " 0 R>>";
    file.beginObject(descriptor);
    file.write(t);
    file.endObject();

    const QByteArray subset = subsetFontFile();
    file.writeStream(fontFile, " /Length1 " + std::to_string(subset.size()),
                     std::string_view(subset.constData(), size_t(subset.size())), 6);

    std::string cmap = "/CIDInit /ProcSet findresource begin\n12 dict begin\nbegincmap\n"
                       "/CIDSystemInfo <</Registry (Adobe) /Ordering (UCS) /Supplement 0>> def\n"
                       "/CMapName /Adobe-Identity-UCS def\n/CMapType 2 def\n"
                       "1 begincodespacerange\n<0000> <FFFF>\nendcodespacerange\n";
    std::vector<std::pair<uint16_t, char32_t>> map;
    for (uint16_t g : glyphs)
        if (g != 0) map.emplace_back(g, m_used[g]);
    for (size_t i = 0; i < map.size(); i += 100) {
        size_t n = std::min<size_t>(100, map.size() - i);
        cmap += std::to_string(n) + " beginbfchar\n";
        for (size_t k = i; k < i + n; ++k) {
            cmap += '<';
            hex4(cmap, map[k].first);
            cmap += "> <" + utf16Hex(map[k].second) + ">\n";
        }
        cmap += "endbfchar\n";
    }
    cmap += "endcmap\nCMapName currentdict /CMap defineresource pop\nend\nend\n";
    file.writeStream(toUnicode, "", cmap, 6);
}

} // namespace verolux::reports
