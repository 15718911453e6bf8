#pragma once

#include "agent/reports/viewer/ViewerGeometry.h"

#include <QAbstractScrollArea>
#include <QHash>
#include <QImage>

#include <functional>
#include <vector>

namespace verolux::reports {

// Scrollable view of report pages: grey desk, white pages with a soft shadow. Pages are painted by a
// callback into images at the current zoom; images of visible pages are cached until the zoom changes.
class PageView : public QAbstractScrollArea {
    Q_OBJECT
  public:
    // Paints page `index` into a painter whose unit is one millimetre.
    using PagePainter = std::function<void(int index, QPainter& painter)>;

    explicit PageView(QWidget* parent = nullptr);

    void setPages(std::vector<PageSizeMm> sizes, PagePainter painter);
    void clearPages();
    int pageCount() const { return static_cast<int>(m_sizes.size()); }

    double zoom() const { return m_zoom; }
    void setZoom(double zoom);
    void zoomToFitWidth();
    void zoomToFitPage();

    ViewMode viewMode() const { return m_mode; }
    void setViewMode(ViewMode mode);

    int currentPage() const { return m_current; } // 0-based
    void goToPage(int index);

    double dpi() const;
    int cachedImageCount() const { return static_cast<int>(m_cache.size()); }

  signals:
    void currentPageChanged(int index);
    void zoomChanged(double zoom);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    void wheelEvent(QWheelEvent* event) override;

  private:
    enum class Fit { None, Width, Page };

    void relayout();
    void updateCurrentFromScroll();
    void setCurrent(int index);
    const QImage& pageImage(int index, const PageRect& rect);
    // Part of a page (in the page's own pixels) painted into a fresh image.
    QImage renderPart(int index, const PageRect& rect, const QRect& part);
    void applyFit();

    std::vector<PageSizeMm> m_sizes;
    PagePainter m_painter;
    std::vector<PageRect> m_rects;
    QHash<int, QImage> m_cache;
    double m_zoom = 1.0;
    Fit m_fit = Fit::None; // a fitted zoom follows the window size
    ViewMode m_mode = ViewMode::Continuous;
    int m_current = 0;
    bool m_scrollingToPage = false;
};

} // namespace verolux::reports
