#pragma once

#include <string>
#include <string_view>

namespace mWSProtocol {

// Appended to the client's key before hashing (RFC 6455).
inline constexpr std::string_view kWebSocketGuid = "258EAFA5-E914-47DA-95CA-C5AB0DC85B11";

// Value of the first occurrence of `name` (with its colon, any letter case, anywhere in the
// text) up to the next CR LF, blanks trimmed; empty when the name or the CR LF is missing.
std::string GetHeaderValue(std::string_view request, std::string_view name);

// Base64 of SHA-1 over key + GUID: 28 characters ending in "=".
std::string AcceptKey(std::string_view key);

// The 101 response for an upgrade request. Request and response are bytes of the system
// code page (UTF-8 here); nothing in the request is checked beyond the three header values.
std::string Handshake(std::string_view request);

} // namespace mWSProtocol
