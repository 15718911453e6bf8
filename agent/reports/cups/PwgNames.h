#pragma once

#include <string>

// Paper names as CUPS spells them (PWG 5101.1), for the parts that are the same on every platform.
// Sizes in hundredths of a millimetre, as fed (width <= height).
namespace verolux::cups {

// The name of a custom size: "custom_62x29mm_62x29mm" (inches when both sides are whole hundredths
// of an inch: "custom_4x6in_4x6in").
std::string CustomSizeName(int widthHmm, int heightHmm);

// The standard paper of that size (within about a millimetre), "iso_a4_210x297mm"; empty when none.
std::string StandardSizeName(int widthHmm, int heightHmm);

// The size a PWG name spells out in its last part ("…_210x297mm", "…_8.5x11in"); false when it does not.
bool SizeOfName(const std::string& name, int* widthHmm, int* heightHmm);

} // namespace verolux::cups
