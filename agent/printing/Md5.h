#pragma once

#include <array>
#include <filesystem>
#include <optional>
#include <string>

namespace mMD5 {

using Digest = std::array<unsigned char, 16>;

// Size of the chunks a file is fed to the digest in, through one buffer.
inline constexpr std::size_t kChunkSize = 524288;

// MD5 of all bytes of the file; nullopt when it cannot be opened or read (the caller then treats it
// as a file whose digest matches nothing, so the template store fetches it again).
std::optional<Digest> FileMD5(const std::filesystem::path& path);

// 32 upper-case hexadecimal digits, two per byte in digest order.
std::string MD5Hex(const Digest& digest);

} // namespace mMD5
