#pragma once

#include <QIcon>

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

} // namespace verolux::reports
