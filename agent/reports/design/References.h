#pragma once

#include "agent/reports/model/Template.h"

#include <string>
#include <string_view>
#include <vector>

namespace verolux::reports::design {

// A reference in an item's text, found the way the report fills it in ("{orderNo}", "{$title}",
// "{sum(amount, group)|#,##0.00}", "{#page}"); `{{` and `}}` are literal braces.
struct Reference {
    enum class Kind : uint8_t { Plain, Parameter, Aggregate, System };
    Kind kind = Kind::Plain;
    size_t begin = 0, end = 0;         // the whole reference, braces included
    size_t nameBegin = 0, nameEnd = 0; // the name (an aggregate's field; empty for count())
    std::string name;
};

std::vector<Reference> FindReferences(std::string_view text);

enum class DeclaredKind : uint8_t { Field, Parameter };

// The text with every reference to the field or parameter `from` renamed to `to`. A plain `{name}`
// means the field when there is one, else the parameter: a parameter's plain references are renamed
// only when no field shadows them, and become `{$to}` when a field named `to` would shadow them.
std::string RenameInText(std::string_view text, DeclaredKind kind, const std::string& from,
                         const std::string& to, const Template& tmpl);

// Names the text refers to that the template does not declare ("{custmer}"), in order, once each.
std::vector<std::string> UndeclaredNames(std::string_view text, const Template& tmpl);

// How many item texts and group keys refer to the field or parameter.
int CountReferences(const Template& tmpl, DeclaredKind kind, const std::string& name);

} // namespace verolux::reports::design
