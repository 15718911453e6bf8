#include "agent/reports/viewer/PageView.h"

#include <QPainter>
#include <QPainterPath>
#include <QScrollBar>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

namespace verolux::reports {

namespace {
const QColor kDesk(0x52, 0x56, 0x5b);
constexpr int kShadow = 4;
// Keep at most this many page images, and at most this many pixels in all of them: a screen never
// shows more than a handful of pages at once, and an A4 page at 800 % is 57 million pixels.
constexpr int kCacheLimit = 24;
constexpr qint64 kCachePixels = 48'000'000;
// Pages larger than this are not cached whole: only their visible part is painted, on every repaint.
constexpr qint64 kMaxCachedPagePixels = 12'000'000;

qint64 PixelsOf(const QImage& image) {
    return qint64(image.width()) * image.height();
}
} // namespace

PageView::PageView(QWidget* parent) : QAbstractScrollArea(parent) {
    setFrameShape(QFrame::NoFrame);
    setFocusPolicy(Qt::StrongFocus);
    viewport()->setAutoFillBackground(false);
    verticalScrollBar()->setSingleStep(24);
    horizontalScrollBar()->setSingleStep(24);
}

double PageView::dpi() const {
    return std::max(1, logicalDpiX());
}

void PageView::setPages(std::vector<PageSizeMm> sizes, PagePainter painter) {
    m_sizes = std::move(sizes);
    m_painter = std::move(painter);
    m_cache.clear();
    m_current = 0;
    relayout();
    verticalScrollBar()->setValue(0);
    emit currentPageChanged(m_current);
}

void PageView::clearPages() {
    setPages({}, {});
}

void PageView::setZoom(double zoom) {
    m_fit = Fit::None;
    zoom = ViewerGeometry::Clamp(zoom);
    if (std::abs(zoom - m_zoom) < 1e-9) return;
    const int keep = m_current;
    m_zoom = zoom;
    m_cache.clear();
    relayout();
    goToPage(keep);
    emit zoomChanged(m_zoom);
}

void PageView::zoomToFitWidth() {
    setZoom(ViewerGeometry::FitWidth(m_sizes, viewport()->width() - verticalScrollBar()->sizeHint().width(),
                                     dpi()));
    m_fit = Fit::Width;
}

void PageView::zoomToFitPage() {
    setZoom(ViewerGeometry::FitPage(m_sizes, viewport()->width(), viewport()->height(), dpi()));
    m_fit = Fit::Page;
}

void PageView::applyFit() {
    const Fit fit = m_fit;
    if (fit == Fit::Width) zoomToFitWidth();
    if (fit == Fit::Page) zoomToFitPage();
}

void PageView::setViewMode(ViewMode mode) {
    if (mode == m_mode) return;
    m_mode = mode;
    const int keep = m_current;
    relayout();
    goToPage(keep);
}

void PageView::goToPage(int index) {
    if (m_sizes.empty()) return;
    index = std::clamp(index, 0, pageCount() - 1);
    if (m_mode == ViewMode::SinglePage) {
        m_current = index;
        relayout();
        verticalScrollBar()->setValue(0);
        emit currentPageChanged(m_current);
        return;
    }
    m_scrollingToPage = true;
    verticalScrollBar()->setValue(m_rects[index].y - ViewerGeometry::kGap);
    m_scrollingToPage = false;
    setCurrent(index);
}

void PageView::setCurrent(int index) {
    if (index == m_current) return;
    m_current = index;
    emit currentPageChanged(index);
}

void PageView::relayout() {
    m_rects = ViewerGeometry::Layout(m_sizes, m_zoom, dpi(), viewport()->width(), m_mode, m_current);
    int w = 0, h = 0;
    ViewerGeometry::ContentSize(m_rects, viewport()->width(), w, h);
    horizontalScrollBar()->setRange(0, std::max(0, w - viewport()->width()));
    horizontalScrollBar()->setPageStep(viewport()->width());
    verticalScrollBar()->setRange(0, std::max(0, h - viewport()->height()));
    verticalScrollBar()->setPageStep(viewport()->height());
    viewport()->update();
}

void PageView::updateCurrentFromScroll() {
    if (m_mode != ViewMode::Continuous || m_scrollingToPage || m_sizes.empty()) return;
    setCurrent(ViewerGeometry::PageAt(m_rects, verticalScrollBar()->value(), viewport()->height()));
}

QImage PageView::renderPart(int index, const PageRect& rect, const QRect& part) {
    const qreal ratio = devicePixelRatioF();
    QImage image(part.size() * ratio, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(ratio);
    image.fill(Qt::white);
    if (m_painter) {
        QPainter p(&image);
        p.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing |
                         QPainter::SmoothPixmapTransform);
        p.translate(-part.x(), -part.y());
        const PageSizeMm& size = m_sizes[index];
        p.scale(rect.w / size.width, rect.h / size.height);
        m_painter(index, p);
    }
    return image;
}

const QImage& PageView::pageImage(int index, const PageRect& rect) {
    auto it = m_cache.find(index);
    if (it != m_cache.end()) return *it;
    QImage image = renderPart(index, rect, QRect(0, 0, rect.w, rect.h));
    qint64 total = PixelsOf(image);
    for (const QImage& cached : std::as_const(m_cache))
        total += PixelsOf(cached);
    while (!m_cache.isEmpty() && (m_cache.size() >= kCacheLimit || total > kCachePixels)) {
        // Drop the page farthest from the one being drawn.
        int farthest = m_cache.begin().key();
        for (auto k = m_cache.begin(); k != m_cache.end(); ++k)
            if (std::abs(k.key() - index) > std::abs(farthest - index)) farthest = k.key();
        total -= PixelsOf(m_cache.value(farthest));
        m_cache.remove(farthest);
    }
    return *m_cache.insert(index, image); // QImage shares its pixels: no copy
}

void PageView::paintEvent(QPaintEvent*) {
    QPainter p(viewport());
    p.fillRect(viewport()->rect(), kDesk);
    const int dx = horizontalScrollBar()->value(), dy = verticalScrollBar()->value();
    const QRect visible(dx, dy, viewport()->width(), viewport()->height());
    for (size_t i = 0; i < m_rects.size(); ++i) {
        const PageRect& r = m_rects[i];
        const QRect page(r.x, r.y, r.w, r.h);
        if (r.w == 0 || !page.adjusted(0, 0, kShadow, kShadow).intersects(visible)) continue;
        const QRect onScreen = page.translated(-dx, -dy);
        // Soft shadow: a few translucent layers offset down and right.
        for (int s = kShadow; s > 0; --s)
            p.fillRect(onScreen.translated(s, s), QColor(0, 0, 0, 18 + 8 * (kShadow - s)));
        const qreal ratio = devicePixelRatioF();
        if (qint64(r.w) * r.h * ratio * ratio <= kMaxCachedPagePixels) {
            p.drawImage(onScreen.topLeft(), pageImage(static_cast<int>(i), r));
        } else {
            // Deep zoom: paint only what is on screen, in page coordinates.
            const QRect part = page.intersected(visible).translated(-r.x, -r.y);
            p.drawImage(onScreen.topLeft() + part.topLeft(), renderPart(static_cast<int>(i), r, part));
        }
        p.setPen(QColor(0, 0, 0, 60));
        p.drawRect(onScreen.adjusted(0, 0, -1, -1));
    }
    if (m_rects.empty()) {
        p.setPen(QColor(0xd0, 0xd0, 0xd0));
        p.drawText(viewport()->rect(), Qt::AlignCenter, tr("No report"));
    }
}

void PageView::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    const int keep = m_current;
    relayout();
    if (m_fit != Fit::None)
        applyFit();
    else if (!m_sizes.empty())
        goToPage(keep);
}

void PageView::scrollContentsBy(int, int) {
    viewport()->update();
    updateCurrentFromScroll();
}

void PageView::wheelEvent(QWheelEvent* event) {
    if (event->modifiers() & Qt::ControlModifier) {
        const int delta = event->angleDelta().y();
        if (delta > 0) setZoom(ViewerGeometry::ZoomIn(m_zoom));
        if (delta < 0) setZoom(ViewerGeometry::ZoomOut(m_zoom));
        event->accept();
        return;
    }
    // In single-page mode the wheel turns pages once the page edge is reached.
    if (m_mode == ViewMode::SinglePage) {
        const int delta = event->angleDelta().y();
        QScrollBar* bar = verticalScrollBar();
        if (delta < 0 && bar->value() == bar->maximum() && m_current + 1 < pageCount()) {
            goToPage(m_current + 1);
            return;
        }
        if (delta > 0 && bar->value() == bar->minimum() && m_current > 0) {
            goToPage(m_current - 1);
            bar->setValue(bar->maximum());
            return;
        }
    }
    QAbstractScrollArea::wheelEvent(event);
}

} // namespace verolux::reports
