#!/usr/bin/env bash
# Builds the Windows libraries Verolux links against (qtbase, OpenSSL's libcrypto, curl, zint,
# simdjson, googletest) with MinGW-w64 from Debian's source packages, into a cache folder outside
# the work tree:
#   ${VEROLUX_WINDOWS_CACHE:-/var/cache/verolux-windows/<recipe-hash>}/
#     prefix/   the installed libraries; consumers use prefix/lib/cmake/Qt6/qt.toolchain.cmake
#     stamps/   one file per finished step; a step with a stamp is skipped, so a rerun resumes
#     times.log seconds each step took
#     src/ build/  scratch, removed once a library is installed
# The hash covers this script and cmake/windows-mingw.cmake (without comments and blank lines),
# the compiler and the source package versions, so the cache is reused while the recipe is unchanged.
# Needs scripts/windows/install-deps.sh first. VEROLUX_WINDOWS_JOBS (default 2) sets parallelism;
# VEROLUX_WINDOWS_KEEP_BUILD=1 keeps the scratch trees.
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
repo=$(cd "$here/../.." && pwd)
toolchain_src=$repo/cmake/windows-mingw.cmake
jobs=${VEROLUX_WINDOWS_JOBS:-2}
target=x86_64-w64-mingw32
packages=(openssl curl zint simdjson googletest qt6-base)

log() { printf '[%(%H:%M:%S)T] %s\n' -1 "$*"; }
die() {
  log "error: $*" >&2
  exit 1
}

command -v $target-g++-posix >/dev/null || die "MinGW-w64 missing: run scripts/windows/install-deps.sh"
command -v dpkg-source >/dev/null || die "dpkg-dev missing: run scripts/windows/install-deps.sh"

# The .dsc file apt-get source would fetch names the exact version of each source package.
declare -A dsc
for p in "${packages[@]}"; do
  dsc[$p]=$(apt-get source --print-uris -qq "$p" 2>/dev/null | awk '$2 ~ /\.dsc$/ { print $2; exit }')
  [[ -n ${dsc[$p]} ]] || die "no source package $p: is a deb-src entry enabled? (install-deps.sh adds one)"
done

recipe_hash=$(
  {
    grep -hvE '^[[:space:]]*(#|$)' "${BASH_SOURCE[0]}" "$toolchain_src"
    $target-g++-posix --version | head -1
    for p in "${packages[@]}"; do echo "${dsc[$p]}"; done
  } | sha256sum | cut -c1-16
)
cache=${VEROLUX_WINDOWS_CACHE:-/var/cache/verolux-windows/$recipe_hash}
case "$cache/" in "$repo"/*) die "the cache must lie outside the work tree ($repo)" ;; esac
prefix=$cache/prefix
mkdir -p "$cache"/{prefix,stamps,src,build}

# One build per cache at a time.
exec 9>"$cache/.lock"
flock -n 9 || die "another toolchain.sh is building into $cache"

# Consumers' toolchain files point at this copy (Qt records its path), not at a work tree.
toolchain=$cache/windows-mingw.cmake
cp "$toolchain_src" "$toolchain"
export VEROLUX_WINDOWS_PREFIX=$prefix
# Configure checks may run test programs under Wine: a prefix of our own, quiet, without the
# Mono and Gecko install prompts.
export WINEPREFIX=${WINEPREFIX:-$cache/wine} WINEDEBUG=${WINEDEBUG:--all} WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}

log "cache $cache (recipe $recipe_hash)"
for p in "${packages[@]}"; do log "  ${dsc[$p]}"; done

# step NAME FUNCTION: runs FUNCTION unless NAME's stamp exists, timing it.
step() {
  local name=$1 fn=$2
  if [[ -e $cache/stamps/$name ]]; then
    log "$name: done before ($(cat "$cache/stamps/$name") s), skipped"
    return
  fi
  log "$name: start"
  local t0=$SECONDS
  "$fn"
  local secs=$((SECONDS - t0))
  echo "$secs" >"$cache/stamps/$name"
  echo "$name $secs" >>"$cache/times.log"
  log "$name: done in $secs s"
  if [[ ${VEROLUX_WINDOWS_KEEP_BUILD:-0} != 1 ]]; then
    rm -rf "${cache:?}/build/$name" "${cache:?}/src/$name"
  fi
}

# Unpacks a source package into src/NAME/tree with Debian's patches, or with only those whose
# names match PATCHES. Kept when already unpacked, so an interrupted build resumes without
# touching the sources' timestamps.
fetch() {
  local name=$1 pkg=$2 patches=${3:-*}
  local dir=$cache/src/$name
  src=$dir/tree
  [[ -e $dir/unpacked ]] && return
  rm -rf "$dir"
  mkdir -p "$dir"
  (cd "$dir" && apt-get source --download-only -qq "$pkg" >/dev/null 2>&1) ||
    die "apt-get source $pkg failed"
  # apt checked the files against the signed index; the maintainers' keys are not installed.
  (cd "$dir" && dpkg-source --no-check -x --skip-patches ./*.dsc tree >/dev/null)
  local p
  if [[ -e $src/debian/patches/series ]]; then
    while read -r p _; do
      [[ -n $p && $p != \#* ]] || continue
      # shellcheck disable=SC2053 # PATCHES is a glob
      [[ $p == $patches ]] || continue
      patch -d "$src" -p1 -s -N <"$src/debian/patches/$p" || die "$pkg: patch $p does not apply"
    done <"$src/debian/patches/series"
  fi
  touch "$dir/unpacked"
}

cmake_build() {
  local name=$1
  shift
  local b=$cache/build/$name
  cmake -S "$src" -B "$b" -G Ninja -Wno-dev \
    -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DVEROLUX_WINDOWS_PREFIX="$prefix" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" "$@"
  cmake --build "$b" -j"$jobs"
  cmake --install "$b"
}

build_simdjson() {
  fetch simdjson simdjson
  cmake_build simdjson -DBUILD_SHARED_LIBS=OFF -DSIMDJSON_DEVELOPER_MODE=OFF
}

build_googletest() {
  fetch googletest googletest
  cmake_build googletest -DBUILD_SHARED_LIBS=OFF -DBUILD_GMOCK=ON -DINSTALL_GTEST=ON
}

build_zint() {
  fetch zint zint
  # The library only (no PNG output, no Qt frontend); the barcode is drawn through Qt.
  cmake_build zint -DZINT_USE_PNG=OFF -DZINT_USE_QT=OFF -DZINT_FRONTEND=OFF -DZINT_STATIC=ON \
    -DZINT_TEST=OFF -DZINT_UNINSTALL=OFF
}

build_openssl() {
  fetch openssl openssl
  # libcrypto only (digests); TLS goes through Schannel. OpenSSL prefixes CC with the cross prefix.
  (
    cd "$src"
    CC=gcc-posix CXX=g++-posix ./Configure mingw64 --cross-compile-prefix=$target- \
      --prefix="$prefix" --libdir=lib no-shared no-tests
    make -j"$jobs" build_generated
    make -j"$jobs" libcrypto.a
    mkdir -p "$prefix/include/openssl" "$prefix/lib"
    cp include/openssl/*.h "$prefix/include/openssl/"
    cp libcrypto.a "$prefix/lib/"
  )
}

build_curl() {
  fetch curl curl
  cmake_build curl -DBUILD_SHARED_LIBS=OFF -DCURL_STATICLIB=ON -DBUILD_CURL_EXE=ON -DBUILD_TESTING=OFF \
    -DCURL_USE_SCHANNEL=ON -DCURL_USE_OPENSSL=OFF -DCURL_USE_LIBSSH2=OFF -DCURL_ZLIB=OFF \
    -DCURL_BROTLI=OFF -DCURL_ZSTD=OFF -DUSE_NGHTTP2=OFF -DUSE_LIBIDN2=OFF -DCURL_DISABLE_LDAP=ON \
    -DENABLE_MANUAL=OFF -DCURL_CA_PATH=none -DCURL_CA_BUNDLE=none
}

build_qtbase() {
  # Upstream's tree plus Debian's security fixes; Debian's packaging patches do not concern MinGW.
  fetch qtbase qt6-base "cve-*"
  # tabletevent: the +dfsg tarball lacks the wintab sources. direct2d stays on: without it 6.4.2
  # fails to link qwindows and PrintSupport (DirectWrite symbols).
  cmake_build qtbase -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
    -DBUILD_SHARED_LIBS=ON -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF -DQT_BUILD_BENCHMARKS=OFF \
    -DFEATURE_pkg_config=OFF -DFEATURE_dbus=OFF -DFEATURE_icu=OFF \
    -DFEATURE_openssl=OFF -DFEATURE_schannel=ON \
    -DFEATURE_sql=OFF -DFEATURE_xml=OFF -DFEATURE_concurrent=OFF \
    -DINPUT_opengl=no -DFEATURE_opengl=OFF -DFEATURE_vulkan=OFF \
    -DFEATURE_tabletevent=OFF -DFEATURE_direct2d=ON \
    -DFEATURE_system_zlib=OFF -DFEATURE_system_png=OFF -DFEATURE_system_jpeg=OFF \
    -DFEATURE_system_freetype=OFF -DFEATURE_system_harfbuzz=OFF -DFEATURE_system_pcre2=OFF \
    -DFEATURE_system_doubleconversion=OFF
}

total0=$SECONDS
step openssl build_openssl
step curl build_curl
step zint build_zint
step simdjson build_simdjson
step googletest build_googletest
step qtbase build_qtbase
rmdir "$cache/src" "$cache/build" 2>/dev/null || true
log "all done in $((SECONDS - total0)) s; prefix $prefix ($(du -sh "$prefix" | cut -f1))"
