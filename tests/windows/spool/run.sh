#!/usr/bin/env bash
# The Windows print path under Wine against this machine's CUPS (test_spool.py): Wine's spooler hands
# spool_tool.exe's jobs to the cups-pdf queue and to a socket queue the test listens on. Wants a Windows
# build with spool_tool.exe (tests/windows/spool) and root for CUPS.
# Called from scripts/windows/test.sh with its WINEPREFIX, WINEPATH and wineserver, which it leaves
# running; alone, it uses a Wine prefix of its own (a copy of the toolchain cache's, kept for the next
# run) and ends its wineserver when done.
# usage: run.sh [--figures] [BUILD_DIR]   (default build/windows)   exit 77: skipped
#   --figures: print the figures of figures.py (a 10-page report: time, spool size) instead of testing
set -uo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
root="$(cd "$here/../../.." && pwd)"
script=test_spool.py
[[ "${1:-}" == --figures ]] && { script=figures.py; shift; }
build="${1:-$root/build/windows}"
export SPOOL_TOOL="${SPOOL_TOOL:-$build/bin/spool_tool.exe}"
export WINE64="${WINE64:-/usr/lib/wine/wine64}"
wineserver="$(dirname "$WINE64")/wineserver"
[[ -x "$WINE64" && -e "$SPOOL_TOOL" ]] || { echo "run.sh: skipped: no wine64 or $SPOOL_TOOL" >&2; exit 77; }
[[ $(id -u) -eq 0 ]] || { echo "run.sh: skipped: needs root (CUPS)" >&2; exit 77; }
export WINEDEBUG="${WINEDEBUG:--all}" WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"

if [[ -z "${WINEPREFIX:-}" || -z "${WINEPATH:-}" ]]; then
    prefix="${VEROLUX_WINDOWS_PREFIX:-$(ls -d /var/cache/verolux-windows/*/prefix 2>/dev/null | head -n1)}"
    [[ -d "$prefix" ]] || { echo "run.sh: skipped: no toolchain prefix" >&2; exit 77; }
    winpath() { printf 'Z:%s' "${1//\//\\}"; }
    export WINEPATH="$(winpath "$prefix/bin");$(winpath /usr/lib/gcc/x86_64-w64-mingw32/12-posix);$(winpath /usr/x86_64-w64-mingw32/lib)"
fi
if [[ -z "${WINEPREFIX:-}" ]]; then
    export WINEPREFIX=/tmp/verolux-spool-wine
    if [[ ! -e "$WINEPREFIX/system.reg" ]]; then
        rm -rf "$WINEPREFIX"
        cp -a "$(dirname "$prefix")/wine" "$WINEPREFIX" || { echo "run.sh: cannot copy the Wine prefix" >&2; exit 1; }
    fi
    # One wineserver for all the tool's runs, ended with the test.
    "$wineserver" -p
    trap '"$wineserver" -k 2>/dev/null' EXIT
fi
# Wine's services start with the first program: not while the tests' output pipes are open.
"$WINE64" wineboot </dev/null >/dev/null 2>&1
/usr/bin/python3 "$here/$script" $([[ $script == test_spool.py ]] && echo -v)
