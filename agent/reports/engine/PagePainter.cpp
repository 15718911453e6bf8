#include "engine/PagePainter.h"

#include <QPaintDevice>

#include <algorithm>

namespace verolux::reports {

namespace {

QColor color(uint32_t argb) { return QColor::fromRgba(argb); }

QString toQString(std::string_view s) { return QString::fromUtf8(s.data(), qsizetype(s.size())); }

} // namespace

PagePainter::PagePainter(const Template& tmpl, const StyleFonts& fonts, QtTextMeasurer& measurer)
    : m_t(tmpl), m_fonts(fonts), m_measurer(measurer)
{
}

void PagePainter::paint(const Page& page, QPainter& p)
{
    const double scale = p.device() ? p.device()->logicalDpiX() / 25.4 : 96 / 25.4;
    p.save();
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setRenderHint(QPainter::TextAntialiasing, true);
    m_lines.clear();

    // Fills and pictures first, then text, then all lines: a cell's background never hides a neighbour's
    // border, and a page costs a handful of line calls instead of one per cell side.
    for (const PageItem& it : page.items) {
        const TextStyle& st = m_t.styles[size_t(it.style)];
        QRectF box(it.x * scale, it.y * scale, it.w * scale, it.h * scale);
        if ((it.kind == ItemKind::Text || it.kind == ItemKind::Rect) && (st.background >> 24) != 0)
            p.fillRect(box, color(st.background));
        if (it.kind == ItemKind::Image) drawImage(it, p, scale);
    }
    int currentStyle = -1;
    for (const PageItem& it : page.items) {
        if (it.kind == ItemKind::Text && it.textLength > 0) {
            if (it.style != currentStyle) {
                currentStyle = it.style;
                p.setFont(m_fonts.font(it.style));
                p.setPen(color(m_t.styles[size_t(it.style)].color));
            }
            drawText(page, it, p, scale);
        } else if (it.kind == ItemKind::Barcode) {
            drawBarcode(page, it, p, scale);
            currentStyle = -1;
        }
    }
    for (const PageItem& it : page.items) {
        if (it.kind == ItemKind::Line) {
            const Borders& b = m_t.styles[size_t(it.style)].borders;
            m_lines[PenKey{b.color, b.width}].append(
                QLineF(it.x * scale, it.y * scale, (it.x + it.w) * scale, (it.y + it.h) * scale));
        } else if (it.kind == ItemKind::Text || it.kind == ItemKind::Rect) {
            addBorders(it, scale);
        }
    }
    for (const auto& [key, lines] : m_lines) {
        QPen pen(color(key.color));
        pen.setWidthF(std::max(0.0, double(key.width) * scale));
        pen.setCapStyle(Qt::SquareCap);
        p.setPen(pen);
        p.drawLines(lines);
    }
    p.restore();
}

void PagePainter::addBorders(const PageItem& it, double s)
{
    const Borders& b = m_t.styles[size_t(it.style)].borders;
    if (!b.any() || b.width <= 0) return;
    QVector<QLineF>& v = m_lines[PenKey{b.color, b.width}];
    const double l = it.x * s, t = it.y * s, r = (it.x + it.w) * s, bo = (it.y + it.h) * s;
    if (b.top) v.append(QLineF(l, t, r, t));
    if (b.bottom) v.append(QLineF(l, bo, r, bo));
    if (b.left) v.append(QLineF(l, t, l, bo));
    if (b.right) v.append(QLineF(r, t, r, bo));
}

void PagePainter::drawText(const Page& page, const PageItem& it, QPainter& p, double s)
{
    const TextStyle& st = m_t.styles[size_t(it.style)];
    std::string_view text = page.textOf(it);
    const double pad = st.padding;
    const double innerW = it.w - 2 * pad;
    const double lh = m_measurer.lineHeight(it.style);
    const double ascent = m_measurer.ascent(it.style);
    int lines = 1;
    for (char c : text) lines += c == '\n';
    const double blockH = lines * lh;
    double top = it.y + pad;
    if (st.vAlign == VAlign::Middle) top = it.y + (it.h - blockH) / 2;
    else if (st.vAlign == VAlign::Bottom) top = it.y + it.h - pad - blockH;

    bool clipped = false;
    size_t start = 0;
    for (int i = 0; i < lines; ++i) {
        size_t nl = text.find('\n', start);
        std::string_view line = text.substr(start, nl == std::string_view::npos ? std::string_view::npos : nl - start);
        start = nl + 1;
        if (line.empty()) continue;
        double w = m_measurer.textWidth(it.style, line);
        double x = it.x + pad;
        if (st.hAlign == HAlign::Center) x = it.x + (it.w - w) / 2;
        else if (st.hAlign == HAlign::Right) x = it.x + it.w - pad - w;
        // Text wider than its cell, or lines below it, are cut at the cell: set the clip only then,
        // a clip per cell would cost as much as the text itself.
        if (!clipped && (w > innerW + 0.01 || top + (i + 1) * lh > it.y + it.h + 0.01)) {
            p.save();
            p.setClipRect(QRectF(it.x * s, it.y * s, it.w * s, it.h * s));
            clipped = true;
            if (st.hAlign != HAlign::Left && w > innerW) x = it.x + pad; // keep the start readable
        }
        m_line = toQString(line);
        p.drawText(QPointF(x * s, (top + i * lh + ascent) * s), m_line);
    }
    if (clipped) p.restore();
}

void PagePainter::drawImage(const PageItem& it, QPainter& p, double s)
{
    if (!it.source || it.source->imageData.empty()) return;
    auto found = m_images.find(it.source);
    if (found == m_images.end()) {
        QImage img;
        img.loadFromData(reinterpret_cast<const uchar*>(it.source->imageData.data()),
                         static_cast<int>(it.source->imageData.size()));
        found = m_images.emplace(it.source, img).first;
    }
    const QImage& img = found->second;
    if (img.isNull()) return;
    QRectF box(it.x * s, it.y * s, it.w * s, it.h * s);
    if (it.source->keepAspect) {
        QSizeF size = QSizeF(img.size()).scaled(box.size(), Qt::KeepAspectRatio);
        box = QRectF(box.x() + (box.width() - size.width()) / 2, box.y() + (box.height() - size.height()) / 2,
                     size.width(), size.height());
    }
    p.drawImage(box, img);
}

void PagePainter::drawBarcode(const Page& page, const PageItem& it, QPainter& p, double s)
{
    if (!it.source) return;
    std::string data(page.textOf(it));
    auto key = std::make_pair(it.source, data);
    auto found = m_barcodes.find(key);
    if (found == m_barcodes.end())
        found = m_barcodes.emplace(key, barcode::EncodeBarcode(it.source->symbology, data)).first;
    const barcode::BarcodeResult& bc = found->second;
    const TextStyle& st = m_t.styles[size_t(it.style)];
    p.setFont(m_fonts.font(it.style));
    if (!bc.ok || bc.width <= 0 || bc.height <= 0) {
        p.setPen(QColor(Qt::red));
        p.drawText(QRectF(it.x * s, it.y * s, it.w * s, it.h * s), Qt::AlignCenter | Qt::TextWordWrap,
                   QString::fromUtf8(bc.error.empty() ? "barcode" : bc.error.c_str()));
        return;
    }
    const QColor ink = color(st.color);
    double x0 = it.x, y0 = it.y, mw, mh;
    if (bc.linear) {
        double textH = bc.humanText.empty() ? 0 : m_measurer.lineHeight(it.style);
        mw = it.w / bc.width;
        mh = std::max(0.0, it.h - textH) / bc.height;
        if (!bc.humanText.empty()) {
            p.setPen(ink);
            QString human = QString::fromUtf8(bc.humanText.c_str());
            double tw = m_measurer.textWidth(it.style, bc.humanText);
            p.drawText(QPointF((it.x + (it.w - tw) / 2) * s, (it.y + it.h - textH + m_measurer.ascent(it.style)) * s),
                       human);
        }
    } else {
        mw = mh = std::min(it.w / bc.width, it.h / bc.height);
        x0 = it.x + (it.w - mw * bc.width) / 2;
        y0 = it.y + (it.h - mh * bc.height) / 2;
    }
    p.setPen(Qt::NoPen);
    p.setBrush(ink);
    p.save();
    p.setRenderHint(QPainter::Antialiasing, false);
    QVector<QRectF> rects;
    rects.reserve(qsizetype(bc.rects.size()));
    for (const auto& r : bc.rects)
        rects.append(QRectF((x0 + r.x * mw) * s, (y0 + r.y * mh) * s, r.w * mw * s, r.h * mh * s));
    p.drawRects(rects);
    p.restore();
    p.setBrush(Qt::NoBrush);
}

} // namespace verolux::reports
