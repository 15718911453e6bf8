#!/usr/bin/env bash
# Installs what the Windows cross-build needs on Debian 12: the MinGW-w64 compilers, Wine to run
# the results, the installer tools, and a deb-src entry so toolchain.sh can fetch library sources.
# Idempotent: present packages and an existing deb-src entry are left alone.
set -euo pipefail

PKGS=(
  g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix mingw-w64-tools mingw-w64-x86-64-dev
  wine64 wine nsis msitools wixl
  # apt-get source unpacks with dpkg-source; the host Qt tools (moc, rcc, uic) come from Linux Qt.
  dpkg-dev cmake ninja-build make perl xz-utils qt6-base-dev-tools
)

export DEBIAN_FRONTEND=noninteractive
need_update=0

# Sources: mirror every deb entry of the deb822 files as deb-src (same URIs, suites, key), unless
# some deb-src entry is already enabled.
has_src() {
  grep -qsE '^[[:space:]]*Types:.*deb-src' /etc/apt/sources.list.d/*.sources ||
    grep -qsE '^[[:space:]]*deb-src[[:space:]]' /etc/apt/sources.list /etc/apt/sources.list.d/*.list
}
if ! has_src; then
  tmp=$(mktemp)
  for f in /etc/apt/sources.list.d/*.sources; do
    [[ -e $f ]] || continue
    # Each stanza is a paragraph; keep those of type deb, retyped.
    awk 'BEGIN { RS = ""; ORS = "\n\n" }
         /(^|\n)Types:[^\n]*(^|[ \t])deb([ \t]|\n|$)/ {
           gsub(/(^|\n)#[^\n]*/, "")
           sub(/Types:[^\n]*/, "Types: deb-src"); print }' "$f" >>"$tmp"
  done
  if [[ -s $tmp ]]; then
    out=/etc/apt/sources.list.d/verolux-deb-src.sources
  else
    # One-line format only.
    sed -n 's/^[[:space:]]*deb[[:space:]]/deb-src /p' /etc/apt/sources.list /etc/apt/sources.list.d/*.list \
      2>/dev/null >"$tmp" || true
    out=/etc/apt/sources.list.d/verolux-deb-src.list
  fi
  [[ -s $tmp ]] || { rm -f "$tmp"; echo "no deb entry found to mirror as deb-src" >&2; exit 1; }
  install -m 644 "$tmp" "$out"
  rm -f "$tmp"
  echo "added $out"
  need_update=1
fi

missing=()
for p in "${PKGS[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((need_update || ${#missing[@]})); then
  apt-get update -qq
fi
if ((${#missing[@]})); then
  apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
