#pragma once

#include "agent/reports/design/DesignDocument.h"
#include "agent/reports/design/DesignLayout.h"
#include "agent/reports/design/Snap.h"

#include <optional>
#include <vector>

namespace verolux::reports::design {

// An alignment guide shown while dragging: a vertical or horizontal line at a page position (mm).
struct Guide {
    bool vertical = true;
    double at = 0;
    friend bool operator==(const Guide&, const Guide&) = default;
};

// A drag on the page in millimetres, apart from the widget that feeds it: moving the selection,
// resizing one item by a handle, or dragging a band's lower edge. `move` gives the live state to draw
// (the offset, the band the items would land in, the resized geometry, the band height, the guides);
// `release` makes it one undoable step.
class DragGesture {
  public:
    enum class Kind : uint8_t { None, Move, Resize, BandEdge };

    static DragGesture Move(ItemRef grabbed, PointMm press);
    static DragGesture Resize(const Template& tmpl, ItemRef grabbed, Handle handle, PointMm press);
    static DragGesture BandEdge(const Template& tmpl, BandRef band, PointMm press);

    // The pointer is at `at` (page mm); `free` (Alt) places without the grid and guides.
    void move(const DesignDocument& doc, const DesignLayout& layout, PointMm at, bool free,
              const SnapSettings& snap);
    // The step (false when it changed nothing); the gesture is over then.
    bool release(DesignDocument& doc, const DesignLayout& layout);

    Kind kind() const { return m_kind; }
    ItemRef grabbed() const { return m_grabbed; }
    // Live state.
    double dx() const { return m_dx; }
    double dy() const { return m_dy; }
    std::optional<BandRef> dropBand() const { return m_dropBand; }
    const RectMm& resized() const { return m_resized; }
    BandRef edgeBand() const { return m_edgeBand; }
    double edgeHeight() const { return m_edgeHeight; }
    const std::vector<Guide>& guides() const { return m_guides; }
    // An item's geometry as drawn now (its band's coordinates).
    RectMm liveGeometry(const DesignDocument& doc, ItemRef ref, const Item& item) const;

  private:
    void moveStep(const DesignDocument& doc, const DesignLayout& layout, PointMm at, bool free,
                  const SnapSettings& snap);
    void resizeStep(const DesignDocument& doc, const DesignLayout& layout, PointMm at, bool free,
                    const SnapSettings& snap);

    Kind m_kind = Kind::None;
    PointMm m_press;
    ItemRef m_grabbed;
    Handle m_handle = Handle::None;
    BandRef m_edgeBand;
    double m_startHeight = 0, m_edgeHeight = 0;
    double m_dx = 0, m_dy = 0;
    std::optional<BandRef> m_dropBand;
    RectMm m_resized;
    std::vector<Guide> m_guides;
};

} // namespace verolux::reports::design
