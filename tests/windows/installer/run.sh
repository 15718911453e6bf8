#!/bin/sh
# Tests the Windows setup program under Wine in a throw-away copy of the toolchain cache's prefix.
# usage: tests/windows/installer/run.sh [DEPLOY SETUP]
# Without arguments it builds stand-in programs (standin.c) into a deploy folder and a setup from them
# with scripts/windows/installer.sh, so the setup can be tested before the real programs exist.
# VEROLUX_WINDOWS_CACHE names the cache (default: the newest under /var/cache/verolux-windows).
set -eu

here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../../.." && pwd)
# shellcheck disable=SC2012 # the cache folders are named by hex digests
cache=${VEROLUX_WINDOWS_CACHE:-$(ls -dt /var/cache/verolux-windows/*/ 2>/dev/null | head -n 1)}
cache=${cache%/}
[ -d "$cache/wine" ] || {
    echo "run.sh: no Wine prefix in '$cache' (run scripts/windows/toolchain.sh)" >&2
    exit 1
}

work=$(mktemp -d /tmp/verolux-installer.XXXXXX)
export WINEPREFIX="$work/wine" WINEDEBUG=-all
cleanup() {
    wineserver -k 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT INT TERM
cp -a "$cache/wine" "$WINEPREFIX"
wineserver -p

if [ $# -ge 2 ]; then
    deploy=$1 setup=$2
else
    deploy=$work/deploy setup=$work/VeroluxSetup.exe
    mkdir -p "$deploy/platforms" "$deploy/styles"
    x86_64-w64-mingw32-gcc-posix -O2 -Wall -Werror -municode -s "$here/standin.c" -o "$work/standin.exe"
    for program in Verolux Kestrane verolux-designer; do cp "$work/standin.exe" "$deploy/$program.exe"; done
    printf 'stand-in\n' >"$deploy/Qt6Core.dll"
    printf 'stand-in\n' >"$deploy/platforms/qwindows.dll"
    printf 'stand-in\n' >"$deploy/styles/qwindowsvistastyle.dll"
    sh "$root/scripts/windows/installer.sh" "$deploy" "$setup"
fi
# The agent takes Qt's windows platform, which under Wine needs an X display.
if [ -z "${DISPLAY:-}" ]; then
    xvfb-run -a -s "-screen 0 1280x800x24" /usr/bin/python3 "$here/test_installer.py" "$deploy" "$setup"
else
    /usr/bin/python3 "$here/test_installer.py" "$deploy" "$setup"
fi
