#include "format/ChineseAmount.h"

namespace verolux::reports::format {

std::string ChineseUppercaseAmount(const TypedValue&) { return {}; }
std::string ChineseUppercaseAmountOfDecimalText(std::string_view) { return {}; }

} // namespace verolux::reports::format
