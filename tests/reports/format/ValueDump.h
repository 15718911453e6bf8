#pragma once

#include "agent/reports/format/TypedValue.h"

#include <string>

// "Integer 5", "Currency 1.2345", "DateTime 2024-03-05 08:05:09.123", "Empty": one readable line per value.
std::string Dump(const verolux::reports::format::TypedValue& value);
