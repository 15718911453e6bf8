#pragma once

#include <QIcon>

namespace verolux::reports {

// Toolbar icons of the designer, drawn in code like the viewer's.
enum class DesignerIcon {
    Open,
    Save,
    Undo,
    Redo,
    Cut,
    Copy,
    Paste,
    Delete,
    Text,
    Line,
    Rect,
    Image,
    Barcode,
    AlignLeft,
    AlignRight,
    AlignTop,
    AlignBottom,
    AlignCentreH,
    AlignCentreV,
    SameWidth,
    SameHeight,
    DistributeH,
    DistributeV,
    Front,
    Back,
    Grid,
    Preview
};

QIcon MakeDesignerIcon(DesignerIcon icon);

} // namespace verolux::reports
