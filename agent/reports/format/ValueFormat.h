#pragma once

// One include for the report engine: field types, typed values, conversion, aggregates
// and display formats.
#include "agent/reports/format/Aggregator.h"
#include "agent/reports/format/FieldType.h"
#include "agent/reports/format/TypedValue.h"
#include "agent/reports/format/ValueConvert.h"

#include <string>
#include <string_view>

namespace verolux::reports::format {

// Formats a value for display. The syntax of displayFormat is in docs/display-formats.md:
//   numbers   "0", "0.00", "#,##0.00", "0.##", "0.0%", "¥#,##0.00", "#,##0.00 元",
//             "pos;neg;zero" sections; rounding half away from zero.
//   date-time "yyyy-MM-dd HH:mm:ss", "yyyy年M月d日", "MM/dd/yyyy h:mm AP", "dddd".
//   boolean   "是;否", "Yes;No", "✓;" (true text;false text).
//   "大写金额" (aliases "大写", "CNY") → 壹万零叁佰元整.
// An empty format uses the type's default (see the doc). Empty values give "". A format
// that does not fit the value's kind is ignored (the default is used); text that holds a
// number is formatted as a number by a number format.
std::string FormatValue(const TypedValue& value, FieldType type, std::string_view displayFormat);

// True for "大写金额", "大写", "CNY", "RMB" (ASCII case-insensitive, blanks trimmed).
bool IsChineseAmountFormat(std::string_view displayFormat);

} // namespace verolux::reports::format
