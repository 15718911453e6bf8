#!/usr/bin/env bash
# The Windows build under Wine: build.sh (cross-build, warnings as errors, deploy folder), the unit
# tests through ctest with Wine as the emulator (those that need no Linux service: the scripted tests
# and the CUPS ones stay Linux's), then the end-to-end run in tests/windows/ against the Linux demo
# backend. Wine runs in a copy of the toolchain cache's prefix under build/windows/, with a wineserver
# of its own that is ended when done.
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
repo=$(cd "$here/../.." && pwd)
log() { printf '[%(%H:%M:%S)T] windows test: %s\n' -1 "$*"; }
t0=$SECONDS

# Everything, tests included (the build is what build.sh makes, plus the test programs).
VEROLUX_WINDOWS_TARGETS=all bash "$here/build.sh"
cache=$(sed -n 's|^CMAKE_TOOLCHAIN_FILE:FILEPATH=\(.*\)/prefix/lib/cmake/Qt6/qt.toolchain.cmake$|\1|p' \
  "$repo/build/windows/CMakeCache.txt")
[[ -d $cache/wine ]] || { log "no Wine prefix in the toolchain cache '$cache'"; exit 1; }

# A Wine prefix of our own: tests write the registry and the prefix's files, and wineserver -k ends only ours.
export WINEPREFIX=$repo/build/windows/wine WINEDEBUG=-all WINEDLLOVERRIDES=mscoree,mshtml=
if [[ ! -e $WINEPREFIX/system.reg ]]; then
  rm -rf "$WINEPREFIX"
  cp -a "$cache/wine" "$WINEPREFIX"
fi
winpath() { printf 'Z:%s' "${1//\//\\}"; }
# The unit tests run from build/windows/bin: Qt, the MinGW runtime and the plugins from the deploy folder
# (Qt6Test.dll from the cache).
export WINEPATH="$(winpath "$repo/build/windows/deploy");$(winpath "$cache/prefix/bin")"
# Qt takes no plugin path from the environment under Wine: a qt.conf beside the test programs names it
# (without a platform plugin Qt would wait in a message box).
printf '[Paths]\r\nPlugins = %s\r\n' "$(winpath "$repo/build/windows/deploy" | tr '\\' /)" >"$repo/build/windows/bin/qt.conf"
# The fonts and Qt's translations the programs find beside them, beside the test programs too.
for folder in fonts translations; do
  rm -rf "$repo/build/windows/bin/$folder"
  ln -s "$repo/build/windows/deploy/$folder" "$repo/build/windows/bin/$folder"
done
# One virtual X display for the whole session, before the first Wine program: Wine's desktop process,
# which that program starts, stays on the display it found (a display per command left it on a dead one,
# and later windows were not created or not found by their caption).
for n in $(seq 90 150); do
  [[ -e /tmp/.X$n-lock || -e /tmp/.X11-unix/X$n ]] || { display=:$n; break; }
done
Xvfb "$display" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
export DISPLAY=$display
for _ in $(seq 100); do [[ -e /tmp/.X11-unix/X${display#:} ]] && break; sleep 0.1; done
/usr/lib/wine/wineserver -k 2>/dev/null || true
/usr/lib/wine/wineserver -p
trap '/usr/lib/wine/wineserver -k 2>/dev/null || true; kill $xvfb_pid 2>/dev/null || true' EXIT
/usr/lib/wine/wine64 reg add 'HKCU\Software\Wine' /v Version /d win10 /f >/dev/null
# A crashing program ends at once: no crash dialog, and no debugger (winedbg --auto under ctest waited
# out the test's timeout, 5 min a crash). A debugger that cannot start lets the process die.
/usr/lib/wine/wine64 reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null
aedebug='HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug'
/usr/lib/wine/wine64 reg add "$aedebug" /v Debugger /d 'no-debugger-under-test.exe' /f >/dev/null
/usr/lib/wine/wine64 reg add "$aedebug" /v Auto /d 1 /f >/dev/null

# The first program of a session starts Wine's desktop (seconds): before ctest's 5 s for listing a
# program's tests. (xvfb: the programs run on the session's display.)
xvfb() { "$@"; }

# Which tests are Windows programs: those ctest starts through the emulator. The rest (Python and
# shell scripts driving Linux programs) and the CUPS ones are left out.
t1=$SECONDS
listing=$(xvfb sh -c '/usr/lib/wine/wine64 cmd /c exit; ctest --test-dir "$1" --show-only=json-v1' - "$repo/build/windows")
exclude=$(printf '%s' "$listing" | python3 -c '
import json, re, sys
data = json.load(sys.stdin)
skip = []
for t in data.get("tests", []):
    labels = next((p["value"] for p in t.get("properties", []) if p["name"] == "LABELS"), [])
    command = t.get("command") or [""]
    if "wine" not in command[0] or "cups" in labels:
        skip.append(re.escape(t["name"]))
print("|".join(skip) or "^$")
')
[[ -n $exclude ]] || { log "no test list"; exit 1; }
# Qt programs under Wine use the windows platform: a virtual X display for Wine to draw on.
# Each part runs whatever the one before did; the script fails at the end when one of them failed.
failed=()
xvfb sh -c '/usr/lib/wine/wine64 cmd /c exit; ctest --test-dir "$1" -E "$2" -j2 --output-on-failure --timeout 120' \
  - "$repo/build/windows" "^($exclude)\$" || failed+=("unit tests")
log "unit tests under Wine in $((SECONDS - t1)) s"

t2=$SECONDS
VEROLUX_WINDOWS_DEPLOY=$repo/build/windows/deploy xvfb /usr/bin/python3 "$repo/tests/windows/test_wine_e2e.py" -v ||
  failed+=("end-to-end")
log "end-to-end under Wine in $((SECONDS - t2)) s"

# The print path through Wine's spooler to this machine's CUPS, and the setup program in a prefix of
# its own. Exit 77: skipped (no root for CUPS, no setup program), said and not failed.
skipped_or() { local rc=0; "$@" || rc=$?; [[ $rc == 77 ]] && log "skipped: $*"; [[ $rc == 0 || $rc == 77 ]]; }
t3=$SECONDS
skipped_or xvfb bash "$repo/tests/windows/spool/run.sh" "$repo/build/windows" || failed+=("spooler")
log "spooler under Wine in $((SECONDS - t3)) s"
t4=$SECONDS
setup=$(ls "$repo"/build/windows/VeroluxSetup-*.exe 2>/dev/null | tail -1 || true)
if [[ -n $setup ]]; then
  # Its own Wine prefix and wineserver: not ours.
  (unset WINEPREFIX WINEPATH; skipped_or sh "$repo/tests/windows/installer/run.sh" "$repo/build/windows/deploy" "$setup") ||
    failed+=("setup program")
  log "setup program under Wine in $((SECONDS - t4)) s"
else
  log "skipped: the setup program (no build/windows/VeroluxSetup-*.exe)"
fi
log "done in $((SECONDS - t0)) s"
if ((${#failed[@]})); then
  log "failed: $(IFS=,; echo "${failed[*]}")"
  exit 1
fi
