#pragma once

#include <string>

namespace verolux {

// "major.minor.revision" of this build, decimal, no leading zeros.
std::string VersionText();

} // namespace verolux
