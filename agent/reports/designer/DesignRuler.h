#pragma once

#include <QWidget>

namespace verolux::reports {

class DesignCanvas;

// A ruler in millimetres along the canvas: across from the left margin (where item x counts from),
// down from the top of each band (where item y counts from). The selection's extent is shaded.
class DesignRuler : public QWidget {
  public:
    static constexpr int kThickness = 22;

    DesignRuler(Qt::Orientation orientation, DesignCanvas* canvas);

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    void paintScale(QPainter& p, double zeroPx, double fromMm, double toMm, double ppm);

    Qt::Orientation m_orientation;
    DesignCanvas* m_canvas;
};

} // namespace verolux::reports
