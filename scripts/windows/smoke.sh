#!/usr/bin/env bash
# Checks a cache built by toolchain.sh: builds tests/windows/smoke/ against its prefix with
# MinGW-w64 and runs the tests under Wine (64-bit, Windows 10, offscreen Qt). The Qt test joins
# once qtbase is built.
# Usage: smoke.sh [CACHE]  (default $VEROLUX_WINDOWS_CACHE, else the newest /var/cache/verolux-windows/*)
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
cache=${1:-${VEROLUX_WINDOWS_CACHE:-}}
if [[ -z $cache ]]; then
  # shellcheck disable=SC2012 # the folders are hex hashes
  cache=$(ls -1dt /var/cache/verolux-windows/*/ 2>/dev/null | head -1)
fi
cache=${cache%/}
prefix=$cache/prefix
[[ -e $cache/stamps/googletest ]] || { echo "no toolchain.sh cache at '$cache'" >&2; exit 1; }

toolchain=$cache/windows-mingw.cmake
[[ -e $cache/stamps/qtbase ]] && toolchain=$prefix/lib/cmake/Qt6/qt.toolchain.cmake
build=${TMPDIR:-/tmp}/verolux-windows-smoke
rm -rf "$build"

export VEROLUX_WINDOWS_PREFIX=$prefix
export WINEPREFIX=${WINEPREFIX:-$cache/wine} WINEDEBUG=${WINEDEBUG:--all} WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
# Qt's and MinGW's runtime DLLs, through Wine's Z: drive.
winpath() { printf 'Z:%s' "${1//\//\\}"; }
WINEPATH="$(winpath "$prefix/bin");$(winpath /usr/lib/gcc/x86_64-w64-mingw32/12-posix);$(winpath /usr/x86_64-w64-mingw32/lib)"
export WINEPATH
# Qt 6 wants Windows 10; a fresh prefix says Windows 7.
/usr/lib/wine/wine64 reg add 'HKCU\Software\Wine' /v Version /d win10 /f >/dev/null

cmake -S "$here/../../tests/windows/smoke" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_TOOLCHAIN_FILE="$toolchain"
cmake --build "$build" -j"${VEROLUX_WINDOWS_JOBS:-2}"
ctest --test-dir "$build" --output-on-failure
