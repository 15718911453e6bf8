# Cross-compiles for 64-bit Windows with Debian's MinGW-w64 (posix threads flavour, for std::thread).
# Libraries built by scripts/windows/toolchain.sh are found through VEROLUX_WINDOWS_PREFIX (cache
# variable or environment); test binaries run under Wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(_mingw x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${_mingw}-gcc-posix)
set(CMAKE_CXX_COMPILER ${_mingw}-g++-posix)
set(CMAKE_RC_COMPILER ${_mingw}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${_mingw})
if(NOT VEROLUX_WINDOWS_PREFIX AND DEFINED ENV{VEROLUX_WINDOWS_PREFIX})
  set(VEROLUX_WINDOWS_PREFIX "$ENV{VEROLUX_WINDOWS_PREFIX}")
endif()
if(VEROLUX_WINDOWS_PREFIX)
  # Both lists: a prefix inside a find root is searched as it stands, not re-rooted.
  list(APPEND CMAKE_FIND_ROOT_PATH "${VEROLUX_WINDOWS_PREFIX}")
  list(APPEND CMAKE_PREFIX_PATH "${VEROLUX_WINDOWS_PREFIX}")
endif()
# try_compile projects see the toolchain file again; hand the prefix on to them.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES VEROLUX_WINDOWS_PREFIX)

# Programs (moc, host tools) from the build machine; headers, libraries and packages from the target.
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The wine wrapper wants 32-bit Wine; call the 64-bit loader directly.
find_program(VEROLUX_WINE64 NAMES wine64 PATHS /usr/lib/wine NO_CMAKE_FIND_ROOT_PATH)
if(VEROLUX_WINE64)
  set(CMAKE_CROSSCOMPILING_EMULATOR "${VEROLUX_WINE64}")
endif()
