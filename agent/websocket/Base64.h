#pragma once

#include <string>
#include <string_view>

namespace mBase64 {

// Standard Base64 (RFC 4648) with "=" padding and no line breaks.
std::string EncodeBase64(std::string_view bytes);

} // namespace mBase64
