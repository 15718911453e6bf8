#pragma once

#include "agent/reports/design/DesignDocument.h"
#include "agent/reports/design/DesignLayout.h"
#include "agent/reports/design/DragGesture.h"
#include "agent/reports/design/Snap.h"
#include "agent/reports/designer/DesignRenderer.h"

#include <QAbstractScrollArea>
#include <QImage>
#include <QPlainTextEdit>
#include <QPointer>

#include <optional>

namespace verolux::reports {

class DesignRuler;

// The page being designed: the paper at its size with its margins, the bands stacked and labelled,
// the items drawn by the engine's painter. Select (click, Shift/Ctrl+click, rubber band), move
// (mouse, arrow keys), resize (handles), drag band edges, drop fields, edit text in place.
class DesignCanvas : public QAbstractScrollArea {
    Q_OBJECT
  public:
    static constexpr double kMinZoom = 0.5, kMaxZoom = 4.0;
    // MIME type of a reference dragged from the data tree; the data is the text to insert ("{name}").
    static constexpr const char* kReferenceMime = "application/x-verolux-reference";
    // Beside it, the column title a reference dropped into the detail band gets ("orderNo", "页码").
    static constexpr const char* kTitleMime = "application/x-verolux-reference-title";

    explicit DesignCanvas(design::DesignDocument& doc, QWidget* parent = nullptr);
    ~DesignCanvas() override;

    double zoom() const { return m_zoom; }
    void setZoom(double zoom);
    void zoomToFitWidth();
    double pixelsPerMm() const;

    design::SnapSettings& snap() { return m_snap; }
    bool gridVisible() const { return m_gridVisible; }
    void setGridVisible(bool on);

    // The band new items go to: the band of the selection, else the picked band (its label clicked,
    // or picked in the outline), else the detail band (else the first).
    design::BandRef currentBand() const;
    // Where a paste goes: the band under the mouse while it is over the page, else currentBand().
    design::BandRef pasteBand() const;
    // The band whose label shows picked (nullopt: none).
    void pickBand(std::optional<design::BandRef> band);
    std::optional<design::BandRef> pickedBand() const { return m_pickedBand; }
    // Call after the document changed outside the canvas.
    void documentChanged();
    // The row conditional formatting is shown for (the preview's first row).
    void setSampleRow(design::SampleRow row) {
        m_renderer.setSampleRow(std::move(row));
        update();
    }

    // Page mm <-> viewport pixels.
    QPointF toView(double xMm, double yMm) const;
    QPointF toPage(const QPointF& viewPoint) const;
    const design::DesignLayout& layout() const { return m_layout; }
    // The selection's extent as drawn now (page mm), for the rulers.
    std::optional<design::RectMm> selectionBox() const;

    // The next press on the page places a copy of `prototype` there (a drag gives its size). Esc or a
    // placement ends it.
    void startPlacing(const Item& prototype);
    void stopPlacing();
    bool placing() const { return m_placing.has_value(); }

    // The in-place text editor while it is open (tests).
    QPlainTextEdit* textEditor() const { return m_editor; }
    void editText(design::ItemRef ref);

    // Timing hooks for the benchmark: paints the viewport now.
    void paintNow();

  signals:
    // The canvas made an undoable change (move, resize, band height, drop, text).
    void edited();
    void selectionChanged();
    void zoomChanged(double zoom);
    // A click on a band's label: the user wants the band's settings.
    void bandActivated(design::BandRef band);
    void placingEnded();
    // A right click: the host shows its menu (what was clicked is selected by then).
    void menuRequested(const QPoint& globalPos);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    // Tab and Shift+Tab step through the items instead of leaving the canvas.
    bool focusNextPrevChild(bool) override { return false; }

  private:
    enum class Drag { None, Pressed, Moving, Resizing, BandEdge, Rubber, Placing };

    void syncLayout();
    void updateScrollBars();
    QPointF pageOrigin() const; // viewport position of the paper's top-left corner
    double gutterLabelWidth() const;

    void paintDesk(QPainter& p);
    void paintBands(QPainter& p);
    void paintGrid(QPainter& p, const QRectF& visibleMm);
    void paintItems(QPainter& p);
    void paintSelection(QPainter& p);
    void paintGuides(QPainter& p);

    std::vector<DesignRenderer::Placed> placedItems(bool moving) const;
    // Geometry of an item as it is drawn now (moved or resized while dragging), band coordinates.
    design::RectMm liveGeometry(design::ItemRef ref, const Item& item) const;
    design::Handle handleAt(const QPointF& viewPoint, design::ItemRef* which) const;
    void updateCursor(const QPointF& viewPoint);
    void gestureStep(const QPointF& viewPoint, Qt::KeyboardModifiers modifiers);
    void finishDrag();
    void place(const QRectF& viewRect);
    void cancelDrag();
    void nudge(double dx, double dy);
    void stepSelection(bool forward);
    void commitEditor();
    void closeEditor();
    void notifyEdited();
    const design::PlacedBand* bandUnder(double yMm) const; // the band at a page height, if any
    double slopMm() const;                                 // a few pixels, in mm
    double edgeSlopMm() const;
    design::SnapSettings snapSettings() const;

    design::DesignDocument& m_doc;
    design::DesignLayout m_layout;
    uint64_t m_layoutGeneration = 0;
    DesignRenderer m_renderer;
    DesignRuler* m_hRuler = nullptr;
    DesignRuler* m_vRuler = nullptr;

    double m_zoom = 1.0;
    bool m_fitWidth = true; // follows the window until the user picks a zoom
    bool m_gridVisible = true;
    design::SnapSettings m_snap;

    Drag m_drag = Drag::None;
    QPointF m_pressView;         // viewport point of the press
    design::PointMm m_pressPage; // page point of the press
    design::ItemRef m_grabbed;   // item under the press (move, resize)
    design::Handle m_handle = design::Handle::None;
    design::DragGesture m_gesture;             // a move, resize or band edge under way: its live state
    std::vector<design::ItemRef> m_rubberBase; // selection kept while Shift+rubber-banding
    QRectF m_rubber;                           // viewport rectangle
    QImage m_backdrop;                         // everything that does not move, while a drag lasts
    std::optional<Item> m_placing;
    std::optional<design::BandRef> m_pickedBand;
    QPointer<QPlainTextEdit> m_editor;
    design::ItemRef m_editing;
};

} // namespace verolux::reports
