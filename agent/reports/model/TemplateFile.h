#pragma once

#include "agent/reports/model/Template.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace verolux::reports {

// Arrays and objects inside each other in a template file, at most: the format itself needs 8, the rest
// is room for keys of newer writers. Deeper files fail like broken ones, with the place.
inline constexpr int kMaxTemplateNesting = 64;

// The .grf file: a JSON object {"format": "verolux-report", "version": 1, ...}; see docs/template-format.md.
struct TemplateLoadResult {
    std::optional<Template> tmpl;
    // Why it failed, with the place: "line 3, column 7: ..." for JSON syntax,
    // "bands.detail.items[2].x: ..." for a value of the wrong kind.
    std::string error;
    // What loads but will not print as written: an expression that cannot be read prints nothing, as an
    // unknown reference always did ("bands.detail.items[2].text: character 12: missing ')'").
    std::vector<std::string> warnings;
    explicit operator bool() const { return tmpl.has_value(); }
};

TemplateLoadResult ParseTemplate(std::string_view json);
std::string WriteTemplate(const Template& tmpl);

} // namespace verolux::reports
