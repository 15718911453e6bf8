#pragma once

#include <filesystem>

namespace verolux {

// The folder that holds MyIni.ini, MyLog.txt and report/: the folder of the running program file,
// unless the environment variable VEROLUX_HOME names another one (tests, portable installs).
std::filesystem::path ProgramFolder();

} // namespace verolux
