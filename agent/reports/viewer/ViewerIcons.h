#pragma once

#include <QIcon>

#include <functional>

class QPainter;

namespace verolux::reports {

// Toolbar icons drawn in code, so the viewer looks the same on every platform theme.
enum class ViewerIcon {
    Print,
    ExportPdf,
    ZoomIn,
    ZoomOut,
    FitWidth,
    FitPage,
    First,
    Previous,
    Next,
    Last,
    Close
};

QIcon MakeViewerIcon(ViewerIcon icon);

// A 24-unit icon drawn by `draw`, at single and double pixel density.
QIcon MakePaintedIcon(const std::function<void(QPainter&)>& draw);

} // namespace verolux::reports
