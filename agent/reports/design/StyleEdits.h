#pragma once

#include "agent/reports/design/DesignDocument.h"
#include "agent/reports/design/EditResult.h"

#include <functional>
#include <string>

namespace verolux::reports::design {

// Edits of named styles and of items' looks. Each is one undoable step. A style keeps the keys it
// sets itself (`own`) apart from those it takes from its base, as the file does.

// A new named style building on `base` (an index; "default" when out of range), setting nothing yet.
EditResult AddStyle(DesignDocument& doc, const std::string& name, int base);
// Styles building on it follow the new name.
EditResult RenameStyle(DesignDocument& doc, int index, const std::string& name);
// Another base; refused when the bases would come back to the style.
EditResult SetStyleBase(DesignDocument& doc, int index, const std::string& base);
// Changes keys of a named style: they become its own, and every style and item building on it
// follows. `clear` gives keys back to the base.
bool UpdateStyle(DesignDocument& doc, int index, const std::function<void(TextStyle&)>& change,
                 uint32_t clear = 0);
// Items that used the style take the default style; styles built on it take its base, keeping their
// look. The default style cannot be deleted.
bool DeleteStyle(DesignDocument& doc, int index);

// Items use the named style, without overrides of their own.
bool SetItemsStyle(DesignDocument& doc, const std::vector<ItemRef>& items, int style);
// Items keep their style but set some keys for themselves (an inline style in the file, building on
// the named one). `clear` gives keys back to the named style.
bool OverrideItemsStyle(DesignDocument& doc, const std::vector<ItemRef>& items, const std::string& name,
                        const std::function<void(TextStyle&)>& change, uint32_t clear = 0);

// The named style an item builds on: its own style, or the base of its inline one.
int NamedStyleOf(const Template& tmpl, const Item& item);
// The StyleKey bits whose values differ between two styles.
uint32_t DifferingKeys(const TextStyle& a, const TextStyle& b);
// How many items use the style.
int StyleUsers(const Template& tmpl, int style);

} // namespace verolux::reports::design
