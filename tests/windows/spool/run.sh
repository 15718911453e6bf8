#!/usr/bin/env bash
# The Windows print path under Wine against this machine's CUPS (test_spool.py). Wants a Windows build
# with spool_tool.exe (tests/windows/spool) and root for CUPS. Uses a Wine prefix of its own, copied from
# the toolchain cache's, so the registry entries Wine's spooler writes stay out of the cache.
# usage: run.sh [--figures] [BUILD_DIR]   (default build/windows)   exit 77: skipped
#   --figures: print the figures of figures.py instead of testing
set -uo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
root="$(cd "$here/../../.." && pwd)"
script=test_spool.py
[[ "${1:-}" == --figures ]] && { script=figures.py; shift; }
build="${1:-$root/build/windows}"
export SPOOL_TOOL="$build/bin/spool_tool.exe"
export WINE64="${WINE64:-/usr/lib/wine/wine64}"
prefix="${VEROLUX_WINDOWS_PREFIX:-}"
if [[ -z "$prefix" ]]; then
    prefix="$(ls -d /var/cache/verolux-windows/*/prefix 2>/dev/null | head -n1)"
fi
[[ -x "$WINE64" && -e "$SPOOL_TOOL" && -d "$prefix" ]] || { echo "run.sh: skipped: no wine64, spool_tool.exe or toolchain prefix" >&2; exit 77; }
[[ $(id -u) -eq 0 ]] || { echo "run.sh: skipped: needs root (CUPS)" >&2; exit 77; }

export WINEPREFIX="${SPOOL_WINEPREFIX:-/tmp/verolux-spool-wine}" WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
if [[ ! -e "$WINEPREFIX/system.reg" ]]; then
    rm -rf "$WINEPREFIX"
    cp -a "$(dirname "$prefix")/wine" "$WINEPREFIX" || { echo "run.sh: cannot copy the Wine prefix" >&2; exit 1; }
fi
winpath() { printf 'Z:%s' "${1//\//\\}"; }
export WINEPATH="$(winpath "$prefix/bin");$(winpath /usr/lib/gcc/x86_64-w64-mingw32/12-posix);$(winpath /usr/x86_64-w64-mingw32/lib)"

# One wineserver for all the tool's runs; ended with the test.
"$(dirname "$WINE64")/wineserver" -p
trap '"$(dirname "$WINE64")/wineserver" -k 2>/dev/null' EXIT
# Wine's services start with the first program; not holding the tests' output open.
"$WINE64" wineboot </dev/null >/dev/null 2>&1
/usr/bin/python3 "$here/$script" $([[ $script == test_spool.py ]] && echo -v)
