#pragma once

#include <string>
#include <string_view>

namespace verolux {

// Most a detached signature file may hold; an Ed25519 signature is 64 bytes.
inline constexpr std::size_t kMaxSignatureBytes = 1024;

// Whether signature (the 64 raw bytes of an Ed25519 signature) signs the whole file open at fd with
// the key publicKey: the Base64 of a DER public key, the line between the PEM armour lines that
// "openssl pkey -pubout" prints. A key that cannot be read, or is no Ed25519 key, verifies nothing.
// The file is mapped, not read into memory.
bool VerifyFileSignature(int fd, std::string_view signature, std::string_view publicKey);

} // namespace verolux
