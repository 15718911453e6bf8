#include "agent/reports/engine/PagePainter.h"

#include <algorithm>

namespace verolux::reports {

namespace {
constexpr double kMmPerPoint = 25.4 / 72;
}

PagePainter::PagePainter(const Template& tmpl, TextMeasurer& measurer) : m_t(tmpl), m_measurer(measurer) {}

void PagePainter::paint(const Page& page, PageCanvas& canvas) {
    m_lines.clear();
    // Fills and pictures first, then text, then all lines: a cell's background never hides a neighbour's
    // border, and a page costs a handful of line calls instead of one per cell side.
    for (const PageItem& it : page.items) {
        if (it.hidden) continue;
        const TextStyle& st = m_t.styles[size_t(it.style)];
        if ((it.kind == ItemKind::Text || it.kind == ItemKind::Rect) && (st.background >> 24) != 0)
            canvas.fillRect(QRectF(it.x, it.y, it.w, it.h), st.background);
        if (it.kind == ItemKind::Image) drawImage(it, canvas);
    }
    for (const PageItem& it : page.items) {
        if (it.hidden) continue;
        if (it.kind == ItemKind::Text && it.textLength > 0)
            drawText(page, it, canvas);
        else if (it.kind == ItemKind::Barcode)
            drawBarcode(page, it, canvas);
    }
    for (const PageItem& it : page.items) {
        if (it.hidden) continue;
        if (it.kind == ItemKind::Line) {
            const Borders& b = m_t.styles[size_t(it.style)].borders;
            m_lines[PenKey{b.color, float(b.width)}].append(QLineF(it.x, it.y, it.x + it.w, it.y + it.h));
        } else if (it.kind == ItemKind::Text || it.kind == ItemKind::Rect) {
            addBorders(it);
        }
    }
    for (const auto& [key, lines] : m_lines)
        if (key.width > 0) canvas.drawLines(lines, key.color, key.width);
}

void PagePainter::addBorders(const PageItem& it) {
    const Borders& b = m_t.styles[size_t(it.style)].borders;
    if (!b.any() || b.width <= 0) return;
    QVector<QLineF>& v = m_lines[PenKey{b.color, float(b.width)}];
    const double l = it.x, t = it.y, r = it.x + it.w, bo = it.y + it.h;
    if (b.top) v.append(QLineF(l, t, r, t));
    if (b.bottom) v.append(QLineF(l, bo, r, bo));
    if (b.left) v.append(QLineF(l, t, l, bo));
    if (b.right) v.append(QLineF(r, t, r, bo));
}

void PagePainter::drawText(const Page& page, const PageItem& it, PageCanvas& canvas) {
    const TextStyle& st = m_t.styles[size_t(it.style)];
    std::string_view text = page.textOf(it);
    const double pad = st.padding;
    const double innerW = it.w - 2 * pad;
    const double lh = m_measurer.lineHeight(it.style);
    const double ascent = m_measurer.ascent(it.style);
    int lines = 1;
    for (char c : text)
        lines += c == '\n';
    const double blockH = lines * lh;
    double top = it.y + pad;
    if (st.vAlign == VAlign::Middle)
        top = it.y + (it.h - blockH) / 2;
    else if (st.vAlign == VAlign::Bottom)
        top = it.y + it.h - pad - blockH;

    bool clipped = false;
    size_t start = 0;
    for (int i = 0; i < lines; ++i) {
        size_t nl = text.find('\n', start);
        std::string_view line =
            text.substr(start, nl == std::string_view::npos ? std::string_view::npos : nl - start);
        start = nl + 1;
        if (line.empty()) continue;
        double w = m_measurer.textWidth(it.style, line);
        double x = it.x + pad;
        if (st.hAlign == HAlign::Center)
            x = it.x + (it.w - w) / 2;
        else if (st.hAlign == HAlign::Right)
            x = it.x + it.w - pad - w;
        // Text wider than its cell, or lines above or below it, are cut at the cell. The clip is set only
        // then: a clip per cell would cost as much as the text itself.
        const double lineTop = top + i * lh;
        if (!clipped && (w > innerW + 0.01 || lineTop < it.y - 0.01 || lineTop + lh > it.y + it.h + 0.01)) {
            canvas.pushClip(QRectF(it.x, it.y, it.w, it.h));
            clipped = true;
        }
        if (w > innerW + 0.01) x = it.x + pad; // keep the start readable
        const double baseline = top + i * lh + ascent;
        canvas.drawText(x, baseline, it.style, line, st.color);
        if (st.underline) {
            const double size = st.fontSize * kMmPerPoint;
            m_lines[PenKey{st.color, float(std::max(0.1, size * 0.05))}].append(
                QLineF(x, baseline + size * 0.1, x + std::min(w, innerW), baseline + size * 0.1));
        }
    }
    if (clipped) canvas.popClip();
}

void PagePainter::drawImage(const PageItem& it, PageCanvas& canvas) {
    if (!it.source || it.source->imageData.empty()) return;
    const PictureCache::Picture& picture = m_pictures.picture(*it.source, it.w, it.h);
    const QImage& img = picture.image;
    if (img.isNull()) return;
    QRectF box(it.x, it.y, it.w, it.h);
    if (it.source->keepAspect) { // in the picture's own proportions: the decoded size is rounded
        QSizeF size = QSizeF(double(picture.natural.width), double(picture.natural.height))
                          .scaled(box.size(), Qt::KeepAspectRatio);
        box = QRectF(box.x() + (box.width() - size.width()) / 2, box.y() + (box.height() - size.height()) / 2,
                     size.width(), size.height());
    }
    canvas.drawImage(box, img, it.source);
}

void PagePainter::drawBarcode(const Page& page, const PageItem& it, PageCanvas& canvas) {
    if (!it.source) return;
    std::string data(page.textOf(it));
    auto key = std::make_pair(it.source, data);
    auto found = m_barcodes.find(key);
    if (found == m_barcodes.end())
        found = m_barcodes.emplace(key, barcode::EncodeBarcode(it.source->symbology, data)).first;
    const barcode::BarcodeResult& bc = found->second;
    const TextStyle& st = m_t.styles[size_t(it.style)];
    const double lh = m_measurer.lineHeight(it.style);
    const double ascent = m_measurer.ascent(it.style);
    if (!bc.ok || bc.width <= 0 || bc.height <= 0) {
        // Say so on the page rather than print nothing: a missing barcode on a label goes unnoticed.
        std::string why = bc.error.empty() ? std::string("barcode error") : bc.error;
        canvas.pushClip(QRectF(it.x, it.y, it.w, it.h));
        canvas.drawText(it.x, it.y + ascent, it.style, why, 0xFFCC0000);
        canvas.popClip();
        return;
    }
    const barcode::PlacedBarcode placed = barcode::PlaceBarcode(bc, it.x, it.y, it.w, it.h, lh);
    for (const barcode::PlacedText& t : placed.texts)
        canvas.drawText(t.centreX - m_measurer.textWidth(it.style, t.text) / 2, t.top + ascent, it.style,
                        t.text, st.color);
    QVector<QRectF> rects;
    rects.reserve(qsizetype(placed.bars.size()));
    for (const auto& r : placed.bars)
        rects.append(QRectF(r.x, r.y, r.w, r.h));
    canvas.fillRects(rects, st.color);
}

} // namespace verolux::reports
