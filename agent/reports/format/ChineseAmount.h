#pragma once

#include "agent/reports/format/TypedValue.h"

#include <string>
#include <string_view>

namespace verolux::reports::format {

// Bank-style Chinese uppercase amount, rounded half away from zero to 分:
// 10300 → 壹万零叁佰元整, 1.05 → 壹元零伍分, 10.2 → 壹拾元贰角, -3 → 负叁元整, 0 → 零元整.
// Numbers (and booleans as 1/0) only; anything else gives "".
std::string ChineseUppercaseAmount(const TypedValue& value);

// The same for an exact decimal text: optional '-', digits, optional '.' and digits.
// Returns "" for anything else.
std::string ChineseUppercaseAmountOfDecimalText(std::string_view decimalText);

} // namespace verolux::reports::format
