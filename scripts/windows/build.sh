#!/usr/bin/env bash
# Cross-builds Verolux, Kestrane and verolux-designer for 64-bit Windows (preset `windows`, warnings
# as errors) and gathers them with the DLLs and Qt plugins they need in build/windows/deploy/,
# stripped. Installs the cross tools (install-deps.sh, as root) when missing and runs toolchain.sh,
# which reuses its cache while the recipe is unchanged (the first run builds Qt: about an hour).
# Then the setup program, when scripts/windows/installer.sh exists.
#   VEROLUX_WINDOWS_CACHE  a toolchain cache other than toolchain.sh's default
#   VEROLUX_WINDOWS_JOBS   parallel jobs (default 2)
#   VEROLUX_WINDOWS_TARGETS  what to build (default: the three programs)
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
repo=$(cd "$here/../.." && pwd)
jobs=${VEROLUX_WINDOWS_JOBS:-2}
mingw=x86_64-w64-mingw32
log() { printf '[%(%H:%M:%S)T] windows build: %s\n' -1 "$*"; }

qm=/usr/share/qt6/translations/qtbase_zh_CN.qm
font=/usr/share/fonts/truetype/wqy/wqy-microhei.ttc
if ! command -v $mingw-g++-posix >/dev/null || [[ ! -x /usr/lib/wine/wine64 ]] || ! command -v dpkg-source >/dev/null ||
  [[ ! -e $qm || ! -e $font ]]; then
  log "installing the cross tools"
  bash "$here/install-deps.sh"
fi

# The toolchain cache: toolchain.sh names it when it is done (at once when every step is stamped).
cache=${VEROLUX_WINDOWS_CACHE:-}
if [[ -z $cache || ! -e $cache/stamps/qtbase ]]; then
  out=$(mktemp)
  for attempt in 1 2; do
    rc=0
    bash "$here/toolchain.sh" >"$out" 2>&1 || rc=$?
    grep -v 'skipped$' "$out" >&2 || true
    [[ $rc == 0 ]] && break
    # Another build holds the cache: wait for it, then ask again.
    busy=$(sed -n 's/.*another toolchain.sh is building into //p' "$out")
    [[ -n $busy && $attempt == 1 ]] || { rm -f "$out"; exit 1; }
    log "waiting for the toolchain build in $busy"
    flock "$busy/.lock" true
  done
  prefix=$(sed -n 's/.*all done in [0-9]* s; prefix \(.*\) (.*/\1/p' "$out" | tail -1)
  rm -f "$out"
  [[ -n $prefix ]] || { log "toolchain.sh named no prefix"; exit 1; }
  cache=$(dirname "$prefix")
fi
export VEROLUX_WINDOWS_PREFIX=$cache/prefix
export VEROLUX_WINDOWS_CACHE=$cache
export CMAKE_CXX_COMPILER_LAUNCHER=${CMAKE_CXX_COMPILER_LAUNCHER-ccache} CMAKE_C_COMPILER_LAUNCHER=${CMAKE_C_COMPILER_LAUNCHER-ccache}
command -v ccache >/dev/null || unset CMAKE_CXX_COMPILER_LAUNCHER CMAKE_C_COMPILER_LAUNCHER

cd "$repo"
t0=$SECONDS
cmake --preset windows -DVEROLUX_WERROR=ON >/dev/null
read -r -a targets <<<"${VEROLUX_WINDOWS_TARGETS:-Verolux Kestrane verolux-designer}"
nice -n 10 cmake --build build/windows -j"$jobs" --target "${targets[@]}"
log "built in $((SECONDS - t0)) s"

# The programs, Qt, the MinGW runtime and the plugin folders (no windeployqt here: copied by hand).
deploy=$repo/build/windows/deploy
rm -rf "$deploy"
mkdir -p "$deploy"/{platforms,styles,tls,imageformats,translations,fonts}
cp build/windows/bin/{Verolux,Kestrane,verolux-designer}.exe "$deploy/"
q=$VEROLUX_WINDOWS_PREFIX
cp "$q"/bin/Qt6{Core,Gui,Widgets,Network,PrintSupport}.dll "$deploy/"
gcc_dlls=/usr/lib/gcc/$mingw/12-posix
cp "$gcc_dlls"/{libstdc++-6,libgcc_s_seh-1,libssp-0}.dll /usr/$mingw/lib/libwinpthread-1.dll "$deploy/"
# qoffscreen: the agent runs without a desktop too (-platform offscreen), as the tests under Wine do.
cp "$q"/plugins/platforms/{qwindows,qoffscreen}.dll "$deploy/platforms/"
cp "$q"/plugins/styles/qwindowsvistastyle.dll "$deploy/styles/"
cp "$q"/plugins/tls/qschannelbackend.dll "$deploy/tls/"
cp "$q"/plugins/imageformats/{qjpeg,qgif,qico}.dll "$deploy/imageformats/"
# Qt's own dialogs in Chinese (Debian's qt6-translations-l10n; the programs look in translations/).
cp "$qm" "$deploy/translations/"
# A Chinese font for desktops without one (WenQuanYi Micro Hei, the templates' default family; Apache
# 2.0 or GPL 3 with the font exception): the programs register fonts/ at start. Its licence goes along.
cp "$font" "$deploy/fonts/"
cp /usr/share/doc/fonts-wqy-microhei/copyright "$deploy/fonts/wqy-microhei-copyright.txt"
cp /usr/share/common-licenses/Apache-2.0 "$deploy/fonts/Apache-2.0.txt"
find "$deploy" -name '*.exe' -o -name '*.dll' | xargs $mingw-strip --strip-unneeded
log "deploy folder $deploy ($(du -sh "$deploy" | cut -f1))"

if [[ -e $here/installer.sh ]]; then
  bash "$here/installer.sh"
fi
