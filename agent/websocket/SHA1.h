#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace mSHA1 {

// Eight hexadecimal digits read as an unsigned number ("C3D2E1F0" stays positive).
std::uint32_t HexToWord(std::string_view hex);

// SHA-1 (FIPS 180-1) of the whole buffer: 20 raw digest bytes.
std::string SHA1(std::string_view bytes);

} // namespace mSHA1
