#include "agent/reports/designer/DesignCanvas.h"

#include "agent/reports/design/ItemEdits.h"
#include "agent/reports/design/ReferenceDrop.h"
#include "agent/reports/design/StructureEdits.h"
#include "agent/reports/designer/DesignRuler.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QCursor>
#include <QDragEnterEvent>
#include <QFontMetricsF>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPlainTextEdit>
#include <QScrollBar>

#include <algorithm>
#include <cmath>
#include <iterator>
#include <vector>

namespace verolux::reports {

using design::BandRef;
using design::BandSlot;
using design::Handle;
using design::ItemRef;
using design::RectMm;

namespace {

constexpr int kGutter = 132; // band labels, left of the paper
constexpr int kPad = 18;     // desk around the paper
constexpr double kHandle = 7;
constexpr double kGuidePixels = 5;
const QColor kDesk(0xe5, 0xe7, 0xeb);
const QColor kSelect(0x25, 0x63, 0xeb);
const QColor kGuide(0xdb, 0x27, 0x77);
const QColor kBandEdge(0x9c, 0xa3, 0xaf);

QColor bandColour(BandSlot slot) {
    switch (slot) {
    case BandSlot::ReportHeader:
    case BandSlot::ReportFooter:
        return QColor(0x7c, 0x3a, 0xed);
    case BandSlot::PageHeader:
    case BandSlot::PageFooter:
        return QColor(0x05, 0x96, 0x69);
    case BandSlot::ColumnHeader:
        return QColor(0x0e, 0x74, 0x90);
    case BandSlot::GroupHeader:
    case BandSlot::GroupFooter:
        return QColor(0xd9, 0x77, 0x06);
    case BandSlot::Detail:
        return QColor(0x25, 0x63, 0xeb);
    }
    return Qt::gray;
}

const Handle kBoxHandles[] = {Handle::TopLeft,     Handle::Top,    Handle::TopRight,   Handle::Right,
                              Handle::BottomRight, Handle::Bottom, Handle::BottomLeft, Handle::Left};
const Handle kLineHandles[] = {Handle::LineStart, Handle::LineEnd};

// The handles an item shows: a line's two ends; a box's corners, and a side's middle one only where the
// side has room for it between the corners, so that a small item stays visible under its handles.
std::vector<Handle> ShownHandles(const Item& it, const RectMm& g, double ppm) {
    if (it.kind == ItemKind::Line) return {std::begin(kLineHandles), std::end(kLineHandles)};
    const bool across = std::abs(g.w) * ppm >= 3 * kHandle, down = std::abs(g.h) * ppm >= 3 * kHandle;
    std::vector<Handle> out;
    for (Handle h : kBoxHandles)
        if (((h != Handle::Top && h != Handle::Bottom) || across) &&
            ((h != Handle::Left && h != Handle::Right) || down))
            out.push_back(h);
    return out;
}

Qt::CursorShape handleCursor(Handle h) {
    switch (h) {
    case Handle::TopLeft:
    case Handle::BottomRight:
        return Qt::SizeFDiagCursor;
    case Handle::TopRight:
    case Handle::BottomLeft:
        return Qt::SizeBDiagCursor;
    case Handle::Top:
    case Handle::Bottom:
        return Qt::SizeVerCursor;
    case Handle::Left:
    case Handle::Right:
        return Qt::SizeHorCursor;
    default:
        return Qt::CrossCursor;
    }
}

} // namespace

DesignCanvas::DesignCanvas(design::DesignDocument& doc, QWidget* parent)
    : QAbstractScrollArea(parent), m_doc(doc) {
    setObjectName(QStringLiteral("designCanvas"));
    setViewportMargins(DesignRuler::kThickness, DesignRuler::kThickness, 0, 0);
    m_hRuler = new DesignRuler(Qt::Horizontal, this);
    m_vRuler = new DesignRuler(Qt::Vertical, this);
    viewport()->setMouseTracking(true);
    viewport()->setAcceptDrops(true);
    setAcceptDrops(true);
    setFocusPolicy(Qt::StrongFocus);
    viewport()->setFocusProxy(this);
    horizontalScrollBar()->setSingleStep(20);
    verticalScrollBar()->setSingleStep(20);
    syncLayout();
}

DesignCanvas::~DesignCanvas() = default;

double DesignCanvas::pixelsPerMm() const {
    return m_zoom * logicalDpiX() / 25.4;
}

void DesignCanvas::setZoom(double zoom) {
    m_fitWidth = false;
    zoom = std::clamp(zoom, kMinZoom, kMaxZoom);
    if (std::abs(zoom - m_zoom) < 1e-9) return;
    m_zoom = zoom;
    closeEditor();
    updateScrollBars();
    viewport()->update();
    m_hRuler->update();
    m_vRuler->update();
    emit zoomChanged(m_zoom);
}

void DesignCanvas::zoomToFitWidth() {
    const double dpmm = logicalDpiX() / 25.4;
    const double room = viewport()->width() - kGutter - 2 * kPad;
    setZoom(room / (m_layout.paperWidth * dpmm));
    m_fitWidth = true;
}

void DesignCanvas::setGridVisible(bool on) {
    m_gridVisible = on;
    viewport()->update();
}

BandRef DesignCanvas::currentBand() const {
    if (!m_doc.selection().empty()) return m_doc.primary().band;
    if (m_pickedBand && design::FindBand(m_doc.tmpl(), *m_pickedBand) && m_layout.find(*m_pickedBand))
        return *m_pickedBand;
    if (m_doc.tmpl().detail.present) return BandRef{BandSlot::Detail};
    if (!m_layout.bands.empty()) return m_layout.bands.front().ref;
    return BandRef{BandSlot::Detail};
}

BandRef DesignCanvas::pasteBand() const {
    // The band under the mouse when it is over the page, else the band in hand.
    const QPoint cursor = viewport()->mapFromGlobal(QCursor::pos());
    if (viewport()->rect().contains(cursor)) {
        const QPointF pt = toPage(QPointF(cursor));
        if (pt.x() <= m_layout.paperWidth)
            if (const design::PlacedBand* b = bandUnder(pt.y())) return b->ref;
    }
    return currentBand();
}

const design::PlacedBand* DesignCanvas::bandUnder(double yMm) const {
    for (const design::PlacedBand& b : m_layout.bands)
        if (yMm >= b.top && yMm < b.bottom()) return &b;
    return nullptr;
}

void DesignCanvas::pickBand(std::optional<BandRef> band) {
    if (m_pickedBand == band) return;
    m_pickedBand = band;
    viewport()->update();
}

void DesignCanvas::documentChanged() {
    if (m_editor && !design::FindItem(m_doc.tmpl(), m_editing)) closeEditor();
    syncLayout();
    viewport()->update();
    m_hRuler->update();
    m_vRuler->update();
}

void DesignCanvas::syncLayout() {
    if (m_layoutGeneration == m_doc.generation() && m_drag != Drag::BandEdge) return;
    m_layout = m_drag == Drag::BandEdge
                   ? design::LayOutDesign(m_doc.tmpl(), {{m_gesture.edgeBand(), m_gesture.edgeHeight()}})
                   : design::LayOutDesign(m_doc.tmpl());
    m_layoutGeneration = m_doc.generation();
    updateScrollBars();
}

void DesignCanvas::updateScrollBars() {
    const double ppm = pixelsPerMm();
    const int sceneW = int(std::ceil(kGutter + 2 * kPad + m_layout.paperWidth * ppm));
    const int sceneH = int(std::ceil(2 * kPad + m_layout.sheetHeight * ppm));
    const QSize vp = viewport()->size();
    horizontalScrollBar()->setRange(0, std::max(0, sceneW - vp.width()));
    verticalScrollBar()->setRange(0, std::max(0, sceneH - vp.height()));
    horizontalScrollBar()->setPageStep(vp.width());
    verticalScrollBar()->setPageStep(vp.height());
}

QPointF DesignCanvas::pageOrigin() const {
    const double ppm = pixelsPerMm();
    const double sceneW = kGutter + 2 * kPad + m_layout.paperWidth * ppm;
    const double centre = std::max(0.0, (viewport()->width() - sceneW) / 2);
    return QPointF(centre + kGutter + kPad - horizontalScrollBar()->value(),
                   kPad - verticalScrollBar()->value());
}

QPointF DesignCanvas::toView(double xMm, double yMm) const {
    const double ppm = pixelsPerMm();
    return pageOrigin() + QPointF(xMm * ppm, yMm * ppm);
}

QPointF DesignCanvas::toPage(const QPointF& viewPoint) const {
    const double ppm = pixelsPerMm();
    const QPointF d = viewPoint - pageOrigin();
    return QPointF(d.x() / ppm, d.y() / ppm);
}

double DesignCanvas::edgeSlopMm() const {
    return 2.5 / pixelsPerMm();
}

design::SnapSettings DesignCanvas::snapSettings() const {
    // Edges catch each other within a few pixels, whatever the zoom.
    design::SnapSettings s = m_snap;
    s.tolerance = kGuidePixels / pixelsPerMm();
    return s;
}

double DesignCanvas::slopMm() const {
    return 4 / pixelsPerMm();
}

void DesignCanvas::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    const QRect vp = viewport()->geometry();
    m_hRuler->setGeometry(vp.x(), 0, vp.width(), DesignRuler::kThickness);
    m_vRuler->setGeometry(0, vp.y(), DesignRuler::kThickness, vp.height());
    if (m_fitWidth) zoomToFitWidth();
    updateScrollBars();
}

void DesignCanvas::scrollContentsBy(int, int) {
    closeEditor();
    viewport()->update();
    m_hRuler->update();
    m_vRuler->update();
}

// ---- painting ----

void DesignCanvas::paintNow() {
    viewport()->repaint();
}

void DesignCanvas::paintEvent(QPaintEvent*) {
    syncLayout();
    QPainter p(viewport());
    const bool live = m_drag == Drag::Moving || m_drag == Drag::Resizing;
    if (live && m_backdrop.size() == viewport()->size() * m_backdrop.devicePixelRatio()) {
        p.drawImage(0, 0, m_backdrop);
    } else {
        paintDesk(p);
        paintItems(p);
        if (live) {
            // Keep what does not move for the rest of the drag: each step then draws only what moves.
            m_backdrop =
                QImage(viewport()->size() * devicePixelRatioF(), QImage::Format_ARGB32_Premultiplied);
            m_backdrop.setDevicePixelRatio(devicePixelRatioF());
            QPainter b(&m_backdrop);
            paintDesk(b);
            paintItems(b);
        }
    }
    if (live) {
        const double ppm = pixelsPerMm();
        p.save();
        p.translate(pageOrigin());
        p.scale(ppm, ppm);
        m_renderer.sync(m_doc.tmpl(), m_doc.generation());
        m_renderer.paint(p, placedItems(true));
        p.restore();
    }
    paintSelection(p);
    paintGuides(p);
    if (m_drag == Drag::Rubber || m_drag == Drag::Placing) {
        p.setPen(QPen(kSelect, 1, Qt::DashLine));
        p.setBrush(QColor(0x25, 0x63, 0xeb, 30));
        p.drawRect(m_rubber.normalized());
    }
}

void DesignCanvas::paintDesk(QPainter& p) {
    const double ppm = pixelsPerMm();
    p.fillRect(viewport()->rect(), kDesk);
    const QPointF o = pageOrigin();
    const QRectF paper(o, QSizeF(m_layout.paperWidth * ppm, m_layout.sheetHeight * ppm));
    for (int s = 4; s > 0; --s)
        p.fillRect(paper.translated(s, s), QColor(0, 0, 0, 14 + 8 * (4 - s)));
    p.fillRect(paper, Qt::white);
    if (m_layout.sheetHeight > m_layout.paperHeight) {
        // The design is longer than the paper: mark where the paper ends.
        const double y = o.y() + m_layout.paperHeight * ppm;
        p.setPen(QPen(QColor(0xef, 0x44, 0x44), 1, Qt::DashLine));
        p.drawLine(QPointF(paper.left(), y), QPointF(paper.right(), y));
    }
    // Margins.
    const PageSetup& page = m_doc.tmpl().page;
    const QRectF inner(
        toView(page.marginLeft, page.marginTop),
        toView(m_layout.paperWidth - page.marginRight, m_layout.sheetHeight - page.marginBottom));
    p.setPen(QPen(QColor(0xd1, 0xd5, 0xdb), 1, Qt::DotLine));
    p.setBrush(Qt::NoBrush);
    p.drawRect(inner);
    paintBands(p);
}

void DesignCanvas::paintBands(QPainter& p) {
    const double ppm = pixelsPerMm();
    const QPointF o = pageOrigin();
    const double left = toView(m_layout.left, 0).x(), right = left + m_layout.contentWidth * ppm;
    QFont labelFont = font();
    labelFont.setPixelSize(11);
    p.setFont(labelFont);
    const QRectF visible = QRectF(viewport()->rect());
    const double pageLeftMm = (visible.left() - o.x()) / ppm, pageRightMm = (visible.right() - o.x()) / ppm;
    for (const design::PlacedBand& b : m_layout.bands) {
        const double top = o.y() + b.top * ppm, bottom = o.y() + b.bottom() * ppm;
        if (bottom < visible.top() - 20 || top > visible.bottom() + 20) continue;
        const QColor c = bandColour(b.ref.slot);
        if (m_gridVisible)
            paintGrid(p, QRectF(std::max(0.0, pageLeftMm - m_layout.left), b.top,
                                std::min(m_layout.contentWidth, pageRightMm - m_layout.left), b.height));
        // Label in the gutter, as tall as the band.
        const QRectF label(o.x() - kGutter - 2, top, kGutter - 6, std::max(14.0, bottom - top));
        QColor fill = c;
        const bool picked = m_pickedBand && *m_pickedBand == b.ref && m_doc.selection().empty();
        fill.setAlpha(picked ? 90 : 28);
        p.fillRect(label, fill);
        p.fillRect(QRectF(label.right() - 3, label.top(), 3, label.height()), c);
        p.setPen(c.darker(130));
        // "分组头：customer" on two lines when the band is tall enough, else cut short.
        QString text = QString::fromStdString(design::BandLabel(m_doc.tmpl(), b.ref));
        const int lineH = p.fontMetrics().height();
        const bool twoLines = label.height() >= 2 * lineH + 2 && text.contains(QStringLiteral("："));
        const QStringList lines = twoLines ? text.split(QStringLiteral("：")) : QStringList{text};
        for (int i = 0; i < lines.size(); ++i)
            p.drawText(label.adjusted(5, 1 + i * lineH, -6, 0),
                       Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine,
                       p.fontMetrics().elidedText(lines[i], Qt::ElideRight, int(label.width()) - 11));
        // The lower edge, which is dragged to change the height.
        const bool dragged = m_drag == Drag::BandEdge && b.ref == m_gesture.edgeBand();
        p.setPen(QPen(dragged ? kSelect : kBandEdge, 1, dragged ? Qt::SolidLine : Qt::DashLine));
        p.drawLine(QPointF(left, bottom), QPointF(right, bottom));
        if (b.ref.slot == BandSlot::Detail && m_doc.tmpl().detail.columns.any()) {
            // Label columns: the first holds the items, the others show where the copies go.
            const Columns& cols = m_doc.tmpl().detail.columns;
            const double w = ColumnWidth(cols, m_doc.tmpl().page);
            p.setPen(QPen(QColor(0x93, 0xc5, 0xfd), 1, Qt::DashLine));
            for (int i = 0; i < cols.count; ++i) {
                const double x0 = left + i * (w + cols.spacing) * ppm;
                p.drawRect(QRectF(x0, top, w * ppm, bottom - top));
            }
        }
    }
}

void DesignCanvas::paintGrid(QPainter& p, const QRectF& areaMm) {
    // Dots on the snapping grid, thinned out until they are at least 8 px apart.
    double step = m_snap.gridStep > 0 ? m_snap.gridStep : 1;
    const double ppm = pixelsPerMm();
    while (step * ppm < 8)
        step *= step < 5 ? 5 : 2;
    const QPointF origin = toView(m_layout.left, areaMm.top());
    QVector<QPointF> dots;
    for (double y = 0; y <= areaMm.height() + 1e-9; y += step)
        for (double x = std::ceil(areaMm.left() / step) * step; x <= areaMm.right() + 1e-9; x += step)
            dots.append(origin + QPointF(x * ppm, y * ppm));
    p.setPen(QPen(QColor(0xc7, 0xcd, 0xd6), 1));
    p.drawPoints(dots.constData(), int(dots.size()));
}

std::vector<DesignRenderer::Placed> DesignCanvas::placedItems(bool moving) const {
    // Only what is on screen: a 2,000-item template then costs what its visible part costs.
    const double ppm = pixelsPerMm();
    const QPointF o = pageOrigin();
    const RectMm visible{-o.x() / ppm, -o.y() / ppm, viewport()->width() / ppm, viewport()->height() / ppm};
    const bool live = m_drag == Drag::Moving || m_drag == Drag::Resizing;
    std::vector<DesignRenderer::Placed> out;
    const Template& t = m_doc.tmpl();
    for (const design::PlacedBand& b : m_layout.bands) {
        const Band& band = *design::FindBand(t, b.ref);
        for (size_t i = 0; i < band.items.size(); ++i) {
            const ItemRef ref{b.ref, int(i)};
            const bool moves =
                live && (m_drag == Drag::Moving ? m_doc.isSelected(ref) : ref == m_gesture.grabbed());
            if (moves != moving && live) continue;
            if (!live && moving) continue;
            const Item& it = band.items[i];
            const RectMm g = liveGeometry(ref, it);
            const RectMm page{m_layout.left + g.x, b.top + g.y, g.w, g.h};
            const RectMm box = page.normalized();
            if (box.right() < visible.x || box.x > visible.right() || box.bottom() < visible.y ||
                box.y > visible.bottom())
                continue;
            out.push_back({&it, page.x, page.y, page.w, page.h});
        }
    }
    return out;
}

RectMm DesignCanvas::liveGeometry(ItemRef ref, const Item& it) const {
    return m_gesture.liveGeometry(m_doc, ref, it);
}

void DesignCanvas::paintItems(QPainter& p) {
    const double ppm = pixelsPerMm();
    std::vector<DesignRenderer::Placed> items = placedItems(false);
    // A faint outline for boxes that draw no border of their own, so that empty ones can be found.
    p.save();
    p.setPen(QPen(QColor(0xcb, 0xd5, 0xe1), 1, Qt::DotLine));
    p.setBrush(Qt::NoBrush);
    const auto& styles = m_doc.tmpl().styles;
    for (const auto& pl : items) {
        if (pl.item->kind == ItemKind::Line) continue;
        const int s = pl.item->style >= 0 && size_t(pl.item->style) < styles.size() ? pl.item->style : 0;
        if (styles[size_t(s)].borders.any()) continue;
        const QPointF a = toView(pl.x, pl.y);
        p.drawRect(QRectF(a, QSizeF(pl.w * ppm, pl.h * ppm)));
    }
    p.restore();
    p.save();
    p.translate(pageOrigin());
    p.scale(ppm, ppm);
    m_renderer.sync(m_doc.tmpl(), m_doc.generation());
    m_renderer.paint(p, items);
    const Columns& cols = m_doc.tmpl().detail.columns;
    if (const design::PlacedBand* detail = m_layout.find(BandRef{BandSlot::Detail}); detail && cols.any()) {
        // The other label columns repeat the first one, faintly.
        std::vector<DesignRenderer::Placed> first;
        for (const auto& pl : items)
            if (pl.y >= detail->top - 1e-9 && pl.y < detail->bottom() + 1e-9) first.push_back(pl);
        const double w = ColumnWidth(cols, m_doc.tmpl().page);
        p.setOpacity(0.3);
        for (int i = 1; i < cols.count; ++i) {
            std::vector<DesignRenderer::Placed> copy = first;
            for (auto& pl : copy)
                pl.x += i * (w + cols.spacing);
            m_renderer.paint(p, copy);
        }
    }
    p.restore();
}

std::optional<RectMm> DesignCanvas::selectionBox() const {
    std::optional<RectMm> box;
    for (const ItemRef& ref : m_doc.selection()) {
        const Item* it = design::FindItem(m_doc.tmpl(), ref);
        const design::PlacedBand* b = m_layout.find(ref.band);
        if (!it || !b) continue;
        const RectMm g = liveGeometry(ref, *it).normalized().translated(m_layout.left, b->top);
        box = box ? box->united(g) : g;
    }
    return box;
}

void DesignCanvas::paintSelection(QPainter& p) {
    const double ppm = pixelsPerMm();
    const auto& sel = m_doc.selection();
    p.save();
    p.setRenderHint(QPainter::Antialiasing, false);
    for (const ItemRef& ref : sel) {
        const Item* it = design::FindItem(m_doc.tmpl(), ref);
        const design::PlacedBand* b = m_layout.find(ref.band);
        if (!it || !b) continue;
        const RectMm g = liveGeometry(ref, *it);
        const QPointF a = toView(m_layout.left + g.x, b->top + g.y);
        p.setPen(QPen(kSelect, 1, ref == m_doc.primary() || sel.size() == 1 ? Qt::SolidLine : Qt::DashLine));
        p.setBrush(Qt::NoBrush);
        if (it->kind == ItemKind::Line)
            p.drawLine(a, a + QPointF(g.w * ppm, g.h * ppm));
        else
            p.drawRect(QRectF(a, QSizeF(g.w * ppm, g.h * ppm)).normalized());
        if (sel.size() != 1) continue;
        p.setBrush(Qt::white);
        auto drawHandle = [&](Handle h) {
            const design::PointMm pt = design::HandlePoint(g, h);
            const QPointF c = toView(m_layout.left + pt.x, b->top + pt.y);
            p.drawRect(QRectF(c.x() - kHandle / 2, c.y() - kHandle / 2, kHandle, kHandle));
        };
        for (Handle h : ShownHandles(*it, g, ppm))
            drawHandle(h);
    }
    p.restore();
}

void DesignCanvas::paintGuides(QPainter& p) {
    if (m_gesture.guides().empty()) return;
    p.save();
    p.setPen(QPen(kGuide, 1));
    const QPointF o = pageOrigin();
    const double ppm = pixelsPerMm();
    for (const design::Guide& g : m_gesture.guides()) {
        if (g.vertical) {
            const double x = o.x() + g.at * ppm;
            p.drawLine(QPointF(x, o.y()), QPointF(x, o.y() + m_layout.sheetHeight * ppm));
        } else {
            const double y = o.y() + g.at * ppm;
            p.drawLine(QPointF(o.x(), y), QPointF(o.x() + m_layout.paperWidth * ppm, y));
        }
    }
    p.restore();
}

// ---- mouse ----

Handle DesignCanvas::handleAt(const QPointF& v, ItemRef* which) const {
    if (m_doc.selection().size() != 1) return Handle::None;
    const ItemRef ref = m_doc.selection().front();
    const Item* it = design::FindItem(m_doc.tmpl(), ref);
    const design::PlacedBand* b = m_layout.find(ref.band);
    if (!it || !b) return Handle::None;
    const RectMm g{it->x, it->y, it->w, it->h};
    auto hit = [&](Handle h) {
        const design::PointMm pt = design::HandlePoint(g, h);
        const QPointF c = toView(m_layout.left + pt.x, b->top + pt.y);
        return std::abs(c.x() - v.x()) <= kHandle / 2 + 1 && std::abs(c.y() - v.y()) <= kHandle / 2 + 1;
    };
    for (Handle h : ShownHandles(*it, g, pixelsPerMm()))
        if (hit(h)) return *which = ref, h;
    return Handle::None;
}

void DesignCanvas::updateCursor(const QPointF& v) {
    ItemRef ref;
    const Handle h = handleAt(v, &ref);
    if (h != Handle::None) {
        viewport()->setCursor(handleCursor(h));
        return;
    }
    const QPointF pt = toPage(v);
    const bool onEdge = pt.x() >= m_layout.left && pt.x() <= m_layout.left + m_layout.contentWidth &&
                        design::BandEdgeAt(m_layout, pt.y(), edgeSlopMm());
    if (onEdge) {
        viewport()->setCursor(Qt::SplitVCursor);
        return;
    }
    const bool onItem = design::ItemAt(m_doc.tmpl(), m_layout, pt.x(), pt.y(), slopMm()).has_value();
    viewport()->setCursor(onItem ? Qt::SizeAllCursor : Qt::ArrowCursor);
}

void DesignCanvas::startPlacing(const Item& prototype) {
    closeEditor();
    m_placing = prototype;
    viewport()->setCursor(Qt::CrossCursor);
    setFocus();
}

void DesignCanvas::stopPlacing() {
    if (!m_placing) return;
    m_placing.reset();
    if (m_drag == Drag::Placing) m_drag = Drag::None;
    viewport()->unsetCursor();
    viewport()->update();
    emit placingEnded();
}

void DesignCanvas::place(const QRectF& viewRect) {
    const QPointF a = toPage(viewRect.topLeft()), b = toPage(viewRect.bottomRight());
    const std::optional<BandRef> band = m_layout.bandAt(a.y());
    Item item = *m_placing;
    stopPlacing();
    const design::PlacedBand* pb = band ? m_layout.find(*band) : nullptr;
    if (!pb) return;
    const double step = m_snap.grid ? m_snap.gridStep : 0;
    item.x = design::SnapToGrid(std::max(0.0, a.x() - m_layout.left), step);
    item.y = design::SnapToGrid(std::max(0.0, a.y() - pb->top), step);
    // A drag of a few millimetres gives the size; a click keeps the usual one.
    if (b.x() - a.x() > 2 && b.y() - a.y() > 1) {
        item.w = design::SnapToGrid(b.x() - a.x(), step);
        item.h = item.kind == ItemKind::Line ? 0 : design::SnapToGrid(b.y() - a.y(), step);
    }
    if (item.kind != ItemKind::Line && pb->height > 0)
        item.h = std::min(item.h, std::max(1.0, pb->height - item.y));
    design::InsertItems(m_doc, *band, {item}, "插入");
    notifyEdited();
    documentChanged();
}

void DesignCanvas::mousePressEvent(QMouseEvent* event) {
    closeEditor();
    setFocus(Qt::MouseFocusReason);
    if (event->button() != Qt::LeftButton) return;
    m_pressView = event->position();
    const QPointF pt = toPage(m_pressView);
    m_pressPage = {pt.x(), pt.y()};
    if (m_placing) {
        m_drag = Drag::Placing;
        m_rubber = QRectF(m_pressView, m_pressView);
        return;
    }
    const bool add = event->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier);
    if (pt.x() < 0) {
        // A band's label: the band is picked (its settings show, a paste goes there).
        if (const design::PlacedBand* b = bandUnder(pt.y())) {
            if (!m_doc.selection().empty()) {
                m_doc.clearSelection();
                emit selectionChanged();
            }
            pickBand(b->ref);
            emit bandActivated(b->ref);
        }
        return;
    }

    ItemRef ref;
    if (const Handle h = handleAt(m_pressView, &ref); h != Handle::None && !add) {
        m_drag = Drag::Pressed;
        m_handle = h;
        m_grabbed = ref;
        return;
    }
    m_handle = Handle::None;
    // A band's lower edge is caught before the items that end on it: grab those a little higher.
    if (!add && pt.x() >= m_layout.left && pt.x() <= m_layout.left + m_layout.contentWidth) {
        if (auto edge = design::BandEdgeAt(m_layout, pt.y(), edgeSlopMm())) {
            m_drag = Drag::BandEdge;
            m_gesture = design::DragGesture::BandEdge(m_doc.tmpl(), *edge, m_pressPage);
            return;
        }
    }
    if (auto hit = design::ItemAt(m_doc.tmpl(), m_layout, pt.x(), pt.y(), slopMm())) {
        std::vector<ItemRef> sel = m_doc.selection();
        if (add) {
            if (m_doc.isSelected(*hit))
                std::erase(sel, *hit);
            else
                sel.push_back(*hit);
            m_doc.select(sel, *hit);
            m_drag = Drag::None;
        } else {
            if (!m_doc.isSelected(*hit))
                m_doc.select({*hit}, *hit);
            else
                m_doc.select(sel, *hit);
            m_drag = Drag::Pressed;
            m_grabbed = *hit;
        }
        emit selectionChanged();
        viewport()->update();
        m_hRuler->update();
        m_vRuler->update();
        return;
    }
    // An empty place of a band picks that band (a paste goes there).
    if (!add) pickBand(bandUnder(pt.y()) ? std::optional(bandUnder(pt.y())->ref) : std::nullopt);
    m_rubberBase = add ? m_doc.selection() : std::vector<ItemRef>{};
    if (!add && !m_doc.selection().empty()) {
        m_doc.clearSelection();
        emit selectionChanged();
    }
    m_drag = Drag::Rubber;
    m_rubber = QRectF(m_pressView, m_pressView);
    viewport()->update();
}

void DesignCanvas::mouseMoveEvent(QMouseEvent* event) {
    const QPointF v = event->position();
    switch (m_drag) {
    case Drag::None:
        if (!m_placing) updateCursor(v);
        return;
    case Drag::Placing:
        m_rubber = QRectF(m_pressView, v);
        viewport()->update();
        return;
    case Drag::Pressed:
        if ((v - m_pressView).manhattanLength() < QApplication::startDragDistance()) return;
        m_drag = m_handle != Handle::None ? Drag::Resizing : Drag::Moving;
        m_backdrop = QImage();
        m_gesture = m_drag == Drag::Resizing
                        ? design::DragGesture::Resize(m_doc.tmpl(), m_grabbed, m_handle, m_pressPage)
                        : design::DragGesture::Move(m_grabbed, m_pressPage);
        gestureStep(v, event->modifiers());
        return;
    case Drag::Moving:
    case Drag::Resizing:
        gestureStep(v, event->modifiers());
        return;
    case Drag::BandEdge:
        gestureStep(v, event->modifiers());
        syncLayout();
        return;
    case Drag::Rubber: {
        m_rubber = QRectF(m_pressView, v);
        const QRectF r = m_rubber.normalized();
        const QPointF a = toPage(r.topLeft()), b = toPage(r.bottomRight());
        std::vector<ItemRef> sel = m_rubberBase;
        for (const ItemRef& ref : design::ItemsIn(m_doc.tmpl(), m_layout,
                                                  RectMm{a.x(), a.y(), b.x() - a.x(), b.y() - a.y()}, false))
            sel.push_back(ref);
        m_doc.select(sel);
        emit selectionChanged();
        viewport()->update();
        return;
    }
    }
}

void DesignCanvas::gestureStep(const QPointF& v, Qt::KeyboardModifiers modifiers) {
    // Alt places freely: no grid, no guides.
    const QPointF pt = toPage(v);
    m_gesture.move(m_doc, m_layout, {pt.x(), pt.y()}, modifiers & Qt::AltModifier, snapSettings());
    viewport()->update();
    m_hRuler->update();
    m_vRuler->update();
}

void DesignCanvas::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    if (m_drag == Drag::Placing) {
        m_drag = Drag::None;
        place(QRectF(m_pressView, event->position()).normalized());
        return;
    }
    finishDrag();
    updateCursor(event->position());
}

void DesignCanvas::finishDrag() {
    const Drag drag = m_drag;
    m_drag = Drag::None;
    m_backdrop = QImage();
    bool changed = false;
    if (drag == Drag::Moving || drag == Drag::Resizing || drag == Drag::BandEdge) {
        m_layoutGeneration = 0; // a band edge's live layout is gone either way
        syncLayout();
        changed = m_gesture.release(m_doc, m_layout);
    }
    m_gesture = {};
    if (changed) notifyEdited();
    documentChanged();
}

void DesignCanvas::cancelDrag() {
    if (m_drag == Drag::Rubber) m_doc.select(m_rubberBase);
    m_drag = Drag::None;
    m_gesture = {};
    m_backdrop = QImage();
    m_layoutGeneration = 0;
    documentChanged();
}

void DesignCanvas::mouseDoubleClickEvent(QMouseEvent* event) {
    const QPointF pt = toPage(event->position());
    if (pt.x() < 0) {
        if (auto band = m_layout.bandAt(pt.y())) emit bandActivated(*band);
        return;
    }
    if (auto hit = design::ItemAt(m_doc.tmpl(), m_layout, pt.x(), pt.y(), slopMm())) {
        const Item* it = design::FindItem(m_doc.tmpl(), *hit);
        if (it->kind == ItemKind::Text) editText(*hit);
    }
}

void DesignCanvas::contextMenuEvent(QContextMenuEvent* event) {
    if (m_placing) {
        stopPlacing();
        return;
    }
    const QPointF pt = toPage(viewport()->mapFrom(this, QPointF(event->pos())));
    if (auto hit = design::ItemAt(m_doc.tmpl(), m_layout, pt.x(), pt.y(), slopMm());
        hit && !m_doc.isSelected(*hit)) {
        m_doc.select({*hit}, *hit);
        emit selectionChanged();
        viewport()->update();
    }
    emit menuRequested(event->globalPos());
}

void DesignCanvas::wheelEvent(QWheelEvent* event) {
    if (!(event->modifiers() & Qt::ControlModifier)) {
        QAbstractScrollArea::wheelEvent(event);
        return;
    }
    // Zoom about the point under the mouse.
    const QPointF v = event->position();
    const QPointF before = toPage(v);
    const double steps = event->angleDelta().y() / 120.0;
    setZoom(m_zoom * std::pow(1.15, steps));
    const QPointF drift = toView(before.x(), before.y()) - v;
    horizontalScrollBar()->setValue(horizontalScrollBar()->value() + int(std::lround(drift.x())));
    verticalScrollBar()->setValue(verticalScrollBar()->value() + int(std::lround(drift.y())));
    event->accept();
}

// ---- keys ----

void DesignCanvas::nudge(double dx, double dy) {
    if (m_doc.selection().empty()) return;
    if (design::MoveItems(m_doc, m_doc.selection(), dx, dy)) {
        notifyEdited();
        documentChanged();
    }
}

void DesignCanvas::stepSelection(bool forward) {
    // Items in reading order: band by band, each top to bottom and left to right.
    const std::vector<ItemRef> all = design::ReadingOrder(m_doc.tmpl(), m_layout);
    if (all.empty()) return;
    auto at = std::find(all.begin(), all.end(), m_doc.primary());
    size_t next = 0;
    if (at == all.end() || m_doc.selection().empty())
        next = forward ? 0 : all.size() - 1;
    else
        next = (size_t(at - all.begin()) + (forward ? 1 : all.size() - 1)) % all.size();
    m_doc.select({all[next]}, all[next]);
    emit selectionChanged();
    viewport()->update();
    m_hRuler->update();
    m_vRuler->update();
}

void DesignCanvas::keyPressEvent(QKeyEvent* event) {
    const double step = event->modifiers() & Qt::ShiftModifier ? 1.0 : 0.1;
    switch (event->key()) {
    case Qt::Key_Tab:
        stepSelection(true);
        return;
    case Qt::Key_Backtab:
        stepSelection(false);
        return;
    case Qt::Key_Left:
        nudge(-step, 0);
        return;
    case Qt::Key_Right:
        nudge(step, 0);
        return;
    case Qt::Key_Up:
        nudge(0, -step);
        return;
    case Qt::Key_Down:
        nudge(0, step);
        return;
    case Qt::Key_Escape:
        if (m_placing) {
            stopPlacing();
        } else if (m_drag != Drag::None) {
            cancelDrag();
        } else if (!m_doc.selection().empty()) {
            m_doc.clearSelection();
            emit selectionChanged();
            viewport()->update();
        }
        return;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (m_doc.selection().size() == 1) {
            const Item* it = design::FindItem(m_doc.tmpl(), m_doc.selection().front());
            if (it && it->kind == ItemKind::Text) editText(m_doc.selection().front());
        }
        return;
    default:
        QAbstractScrollArea::keyPressEvent(event);
    }
}

// ---- text in place ----

void DesignCanvas::editText(ItemRef ref) {
    closeEditor();
    const Item* it = design::FindItem(m_doc.tmpl(), ref);
    const design::PlacedBand* b = m_layout.find(ref.band);
    if (!it || !b || it->kind != ItemKind::Text) return;
    m_doc.select({ref}, ref);
    emit selectionChanged();
    m_editing = ref;
    m_editor = new QPlainTextEdit(viewport());
    m_editor->setObjectName(QStringLiteral("inPlaceEditor"));
    m_editor->setPlainText(QString::fromStdString(it->text));
    const TextStyle& st =
        m_doc.tmpl().styles[size_t(std::clamp(it->style, 0, int(m_doc.tmpl().styles.size()) - 1))];
    QFont f(QString::fromStdString(st.fontFamily));
    f.setPointSizeF(std::max(6.0, st.fontSize * m_zoom));
    m_editor->setFont(f);
    const double ppm = pixelsPerMm();
    const QPointF a = toView(m_layout.left + it->x, b->top + it->y);
    const QFontMetrics fm(f);
    m_editor->setGeometry(
        QRectF(a, QSizeF(std::max(it->w * ppm, 80.0), std::max(it->h * ppm, fm.height() + 10.0)))
            .toAlignedRect());
    m_editor->setFrameShape(QFrame::Box);
    m_editor->setStyleSheet(QStringLiteral("QPlainTextEdit { border: 1px solid #2563eb; }"));
    m_editor->installEventFilter(this);
    m_editor->show();
    m_editor->setFocus();
    m_editor->selectAll();
}

bool DesignCanvas::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_editor) {
        if (event->type() == QEvent::KeyPress) {
            auto* key = static_cast<QKeyEvent*>(event);
            if (key->key() == Qt::Key_Escape) {
                closeEditor();
                setFocus();
                return true;
            }
            // Enter ends the edit; Shift+Enter starts a new line.
            if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) &&
                !(key->modifiers() & Qt::ShiftModifier)) {
                commitEditor();
                setFocus();
                return true;
            }
        } else if (event->type() == QEvent::FocusOut) {
            commitEditor();
        }
    }
    return QAbstractScrollArea::eventFilter(watched, event);
}

void DesignCanvas::commitEditor() {
    if (!m_editor) return;
    const std::string text = m_editor->toPlainText().toStdString();
    const ItemRef ref = m_editing;
    closeEditor();
    if (design::UpdateItems(m_doc, {ref}, "编辑文本", [&](Item& it) { it.text = text; })) {
        notifyEdited();
        documentChanged();
    }
}

void DesignCanvas::closeEditor() {
    if (!m_editor) return;
    QPlainTextEdit* e = m_editor;
    m_editor = nullptr;
    e->removeEventFilter(this);
    e->hide();
    e->deleteLater();
}

// ---- drops from the data tree ----

void DesignCanvas::dragEnterEvent(QDragEnterEvent* event) {
    if (event->mimeData()->hasFormat(QString::fromLatin1(kReferenceMime))) event->acceptProposedAction();
}

void DesignCanvas::dragMoveEvent(QDragMoveEvent* event) {
    if (event->mimeData()->hasFormat(QString::fromLatin1(kReferenceMime))) event->acceptProposedAction();
}

void DesignCanvas::dropEvent(QDropEvent* event) {
    const QByteArray payload = event->mimeData()->data(QString::fromLatin1(kReferenceMime));
    if (payload.isEmpty()) return;
    const QPointF pt = toPage(event->position());
    const BandRef band = m_layout.bandAt(pt.y()).value_or(currentBand());
    const design::PlacedBand* b = m_layout.find(band);
    if (!b) return;
    design::ReferenceDrop drop;
    drop.text = payload.toStdString();
    drop.title = event->mimeData()->data(QString::fromLatin1(kTitleMime)).toStdString();
    const double ppmFont = logicalDpiX() / 25.4;
    const auto width = [ppmFont](const TextStyle& st, const std::string& text) {
        QFont f(QString::fromStdString(st.fontFamily));
        f.setPointSizeF(st.fontSize > 0 ? st.fontSize : 9);
        f.setBold(st.bold);
        f.setItalic(st.italic);
        return QFontMetricsF(f).horizontalAdvance(QString::fromStdString(text)) / ppmFont;
    };
    design::DropReference(m_doc, band, pt.x() - m_layout.left, pt.y() - b->top, drop, width,
                          m_snap.grid ? m_snap.gridStep : 0);
    event->acceptProposedAction();
    notifyEdited();
    documentChanged();
    setFocus();
}

void DesignCanvas::notifyEdited() {
    emit edited();
    emit selectionChanged();
}

} // namespace verolux::reports
