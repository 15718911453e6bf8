#pragma once

#include "agent/reports/model/Template.h"
#include "common/ScalarValue.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace verolux::reports::design {

// One row of values as the designer shows them before any report runs: the first sample row (or the
// request's), the parameters' values. An aggregate counts that row alone; #page and #row are 1.
struct SampleRow {
    std::vector<ScalarValue> fields;     // by the template's field order
    std::vector<ScalarValue> parameters; // by the template's parameter order
    std::string title;
};

// An item's text filled in on that row, each reference formatted as the report does; a reference that
// cannot be computed prints empty, as in the report. `style`: the item's, whose display format applies.
std::string TextOnRow(std::string_view text, const Template& tmpl, const SampleRow& row, int style = 0);

// The first of the item's rules whose condition holds on the row (the one the report applies), or -1.
int RuleOnRow(const Item& item, const Template& tmpl, const SampleRow& row);

// What the expression editor inserts at a place of a text: `reference` ("quantity", "$rate", "#page",
// "sum(amount, group)") braced where the place is outside a reference, bare inside one.
std::string Insertion(std::string_view text, size_t place, std::string_view reference);
// The reference an aggregate picker writes: "sum(amount, group)"; the scope "" leaves it to the band.
std::string AggregateReference(std::string_view function, std::string_view field, std::string_view scope);

// The type a field with these values most likely has: "integer", "decimal", "datetime", "boolean" or
// "text" (empty values do not count; no values: "text").
std::string GuessFieldType(const std::vector<ScalarValue>& values);
// The type a field just named gets from its sample values: the guess, when the field still has the
// type and format a new field starts with and the values say more than text; else nothing.
std::optional<std::string> TypeForNewName(const Declared& field, const std::vector<ScalarValue>& values);

} // namespace verolux::reports::design
