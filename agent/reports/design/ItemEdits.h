#pragma once

#include "agent/reports/design/DesignDocument.h"
#include "agent/reports/design/Geometry.h"

#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace verolux::reports::design {

// Edits of items. Each is one undoable step and returns false when it changed nothing.

bool MoveItems(DesignDocument& doc, const std::vector<ItemRef>& items, double dx, double dy);
// Moves items into another band (a drag that ends over it), placed at `boxes` in that band's
// coordinates, keeping their order; selects them there.
bool MoveItemsToBand(DesignDocument& doc, const std::vector<ItemRef>& items, BandRef target,
                     const std::vector<RectMm>& boxes);

// Sets x, y, w, h as written in the file (a line keeps its direction through negative w and h).
bool SetItemGeometry(DesignDocument& doc, const std::vector<std::pair<ItemRef, RectMm>>& geometry,
                     const std::string& name);
// Places items at boxes with a positive size (alignment, same size); a line keeps its direction.
bool SetItemBoxes(DesignDocument& doc, const std::vector<std::pair<ItemRef, RectMm>>& boxes,
                  const std::string& name);
RectMm GeometryForBox(const Item& item, const RectMm& box);

// Any other change of items (text, symbology, picture, ...).
bool UpdateItems(DesignDocument& doc, const std::vector<ItemRef>& items, const std::string& name,
                 const std::function<void(Item&)>& change);

// Adds an item at the top of the band's z-order and selects it.
ItemRef InsertItem(DesignDocument& doc, BandRef band, Item item);
// Adds items to a band and selects them; items with an inline style get their own copy of it.
std::vector<ItemRef> InsertItems(DesignDocument& doc, BandRef band, const std::vector<Item>& items,
                                 const std::string& name);
bool DeleteItems(DesignDocument& doc, const std::vector<ItemRef>& items);
// Copies of the items, `offset` mm to the right at the same height, in their own bands.
bool DuplicateItems(DesignDocument& doc, const std::vector<ItemRef>& items, double offset);

bool BringToFront(DesignDocument& doc, const std::vector<ItemRef>& items);
bool SendToBack(DesignDocument& doc, const std::vector<ItemRef>& items);

// A new item of the given kind with a sensible size and the default style.
Item NewItem(ItemKind kind, double x, double y);

} // namespace verolux::reports::design
