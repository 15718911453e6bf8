#pragma once

#include <cstddef>

namespace verolux {

// Rows one print request may carry in `repdata`: the report windows count them in a 16-bit signed
// number. Checked by the print procedure before anything is decided, and by whatever fills a report.
inline constexpr std::size_t kMaxRequestRows = 32767;

} // namespace verolux
