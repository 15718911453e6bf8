#pragma once

#include "agent/reports/design/DesignDocument.h"

namespace verolux::reports::design {

// Alignment of several items, in their bands' coordinates (every band starts at the left margin, so
// lefts line up across bands too). Each is one undoable step.
enum class Alignment : uint8_t { Lefts, Rights, Tops, Bottoms, HorizontalCentres, VerticalCentres };

// To the extreme edge of the selection (leftmost left, ...) or the centre of its extent.
bool AlignItems(DesignDocument& doc, const std::vector<ItemRef>& items, Alignment alignment);
// Every item gets the width and/or height of the primary item (the one picked last).
bool MakeSameSize(DesignDocument& doc, const std::vector<ItemRef>& items, bool width, bool height);
// Equal gaps between three or more items, the outermost two staying where they are.
bool Distribute(DesignDocument& doc, const std::vector<ItemRef>& items, bool horizontally);

} // namespace verolux::reports::design
