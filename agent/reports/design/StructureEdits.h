#pragma once

#include "agent/reports/design/DesignDocument.h"
#include "agent/reports/design/EditResult.h"
#include "agent/reports/design/References.h"

#include <functional>
#include <string>

namespace verolux::reports::design {

// Edits of the report's structure: bands, page, title, fields and parameters, groups. Each is one
// undoable step; a refused edit changes nothing and says why.

bool SetBandHeight(DesignDocument& doc, BandRef band, double height);
// Any other change of a band's own keys (keep together, keep with detail, print at bottom).
bool UpdateBand(DesignDocument& doc, BandRef band, const std::string& name,
                const std::function<void(Band&)>& change);
// Turning a band off removes its items with it (a band that is not there keeps nothing in the file).
bool SetBandPresent(DesignDocument& doc, BandRef band, bool present);
EditResult SetColumns(DesignDocument& doc, const Columns& columns);
// Paper, orientation and margins; refused when the margins leave no room or the label columns no
// longer fit.
EditResult SetPage(DesignDocument& doc, const PageSetup& page);
// The report's title; a parameter `title` whose default was the old title takes the new one with it.
bool SetTitle(DesignDocument& doc, const std::string& title);
bool SetPrinter(DesignDocument& doc, const std::string& printer);

// --- fields and parameters ---
std::vector<Declared>& DeclaredList(Template& tmpl, DeclaredKind kind);
const std::vector<Declared>& DeclaredList(const Template& tmpl, DeclaredKind kind);
EditResult AddDeclared(DesignDocument& doc, DeclaredKind kind, const Declared& declared);
// Type, format and default; the name is changed with RenameDeclared.
EditResult UpdateDeclared(DesignDocument& doc, DeclaredKind kind, int index, const Declared& declared);
// One step: the new name and, when `rewrite` is set, every reference to the old name in item texts,
// barcode data and group keys.
EditResult RenameDeclared(DesignDocument& doc, DeclaredKind kind, int index, const std::string& name,
                          bool rewrite);
bool DeleteDeclared(DesignDocument& doc, DeclaredKind kind, int index);
bool MoveDeclared(DesignDocument& doc, DeclaredKind kind, int from, int to);

// --- groups (outermost first) ---
// A new group by `field` at `index` (clamped), with a header and a footer of 8 mm.
EditResult AddGroup(DesignDocument& doc, int index, const std::string& name, const std::string& field);
bool RemoveGroup(DesignDocument& doc, int index);
bool MoveGroup(DesignDocument& doc, int from, int to);
// Name, key fields, newPage, repeatHeader, header and footer on or off. Refused with an empty key.
EditResult UpdateGroup(DesignDocument& doc, int index, const std::function<void(Group&)>& change);

} // namespace verolux::reports::design
