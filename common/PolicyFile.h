#pragma once

#include "common/Ini.h"

#include <filesystem>

namespace mINI {

// The administrator's settings users cannot loosen: /etc/verolux/policy.ini (on Windows
// %ProgramData%\Verolux\policy.ini), or the file the environment variable VEROLUX_POLICY names.
// Same format as MyIni.ini; missing means no policy.
std::filesystem::path PolicyFilePath();

// Puts the policy file's WebsUrl and UpdateKey into the program folder's settings (ApplyPolicy), so
// every later reader sees the administrator's values. Both programs call it first thing at start.
// False when the settings had to change and could not be written: they may then hold the user's
// values in place of the administrator's.
bool EnforcePolicy(const Settings& settings);

} // namespace mINI
