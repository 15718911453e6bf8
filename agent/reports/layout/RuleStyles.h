#pragma once

#include "agent/reports/model/Template.h"

namespace verolux::reports {

// The style keys a conditional-formatting rule takes from its style.
inline constexpr uint32_t kRuleStyleKeys =
    kStyleColor | kStyleBold | kStyleItalic | kStyleUnderline | kStyleBackground;

// Adds to a copy of the template that is only printed the styles its rules make: for each item style
// and rule style, the item style with the rule style's own colour, weight, slant, underline and
// background. Returns false when the template has no rule with a style (nothing added).
bool AddRuleStyles(Template& tmpl);

// True when some rule of the template names a style (AddRuleStyles has work to do).
bool HasStyledRules(const Template& tmpl);

// The style an item takes when `rule` holds; its own style when the template has none made for it.
int RuleStyle(const Template& tmpl, int itemStyle, const StyleRule& rule);

} // namespace verolux::reports
