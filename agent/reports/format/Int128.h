#pragma once

// 128-bit integers for exact sums and scaling of 64-bit amounts. A GCC/Clang extension; named once
// here so the rest of the code stays pedantic-clean.
namespace verolux {
__extension__ typedef __int128 Int128;
__extension__ typedef unsigned __int128 UInt128;
} // namespace verolux
