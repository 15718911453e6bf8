#pragma once

#include "agent/reports/design/DesignDocument.h"
#include "agent/reports/design/EditResult.h"

#include <functional>
#include <string>

namespace verolux::reports::design {

// Edits of named styles and of items' looks. Each is one undoable step.

// A new named style starting as a copy of `base` (an index; the default style when out of range).
EditResult AddStyle(DesignDocument& doc, const std::string& name, int base);
EditResult RenameStyle(DesignDocument& doc, int index, const std::string& name);
// Changes a named style: every item using it changes with it.
bool UpdateStyle(DesignDocument& doc, int index, const std::function<void(TextStyle&)>& change);
// Items that used the style take the default style. The default style cannot be deleted.
bool DeleteStyle(DesignDocument& doc, int index);

// Items use the named style, without overrides of their own.
bool SetItemsStyle(DesignDocument& doc, const std::vector<ItemRef>& items, int style);
// Items keep their look but change some keys of it for themselves (an inline style in the file).
bool OverrideItemsStyle(DesignDocument& doc, const std::vector<ItemRef>& items, const std::string& name,
                        const std::function<void(TextStyle&)>& change);

// How many items use the style.
int StyleUsers(const Template& tmpl, int style);

} // namespace verolux::reports::design
