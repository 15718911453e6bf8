#pragma once

namespace verolux::reports {

// Lengths closer than this (mm) count as equal: positions are sums of many decimal lengths.
inline constexpr double kLayoutEpsilon = 0.001;

} // namespace verolux::reports
