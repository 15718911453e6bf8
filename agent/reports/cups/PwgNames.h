#pragma once

#include <string>

// Paper names as CUPS spells them (PWG 5101.1), for the parts that are the same on every platform.
namespace verolux::cups {

// The name of a custom size as fed, in hundredths of a millimetre: "custom_62x29mm_62x29mm" (inches
// when both sides are whole hundredths of an inch: "custom_4x6in_4x6in").
std::string CustomSizeName(int widthHmm, int heightHmm);

} // namespace verolux::cups
