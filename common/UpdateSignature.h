#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace verolux {

// Most a detached signature file may hold; an Ed25519 signature is 64 bytes.
inline constexpr std::size_t kMaxSignatureBytes = 1024;

// Whether signature (the 64 raw bytes of an Ed25519 signature) signs message with the key publicKey:
// the Base64 of a DER public key, the line between the PEM armour lines that "openssl pkey -pubout"
// prints. A key that cannot be read, or is no Ed25519 key, verifies nothing.
bool VerifySignature(std::string_view message, std::string_view signature, std::string_view publicKey);

// SHA-256 of the whole file open at fd, from its start, as 64 lower-case hex digits ("sha256sum");
// empty when it cannot be read.
std::string FileSha256Hex(int fd);

} // namespace verolux
