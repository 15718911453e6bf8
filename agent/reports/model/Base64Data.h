#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace verolux::reports {

// Embedded images travel inside the template as standard Base64 (RFC 4648, padded).
std::string EncodeBase64(std::string_view bytes);
// Whitespace is skipped; anything else outside the alphabet is an error.
std::optional<std::string> DecodeBase64(std::string_view text);

} // namespace verolux::reports
