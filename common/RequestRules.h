#pragma once

#include <cstddef>
#include <string_view>

namespace verolux {

// Rows one print request may carry in `repdata`: the report windows count them in a 16-bit signed
// number. Checked by the print procedure before anything is decided, and by whatever fills a report.
inline constexpr std::size_t kMaxRequestRows = 32767;

// The top-level key a page uses to talk to the agent itself (questions, job options). It is never a
// template parameter.
inline constexpr std::string_view kExtensionKey = "verolux";

} // namespace verolux
