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
  # Shipped in the deploy folder: Qt's Chinese (platform independent .qm files) and a Chinese font.
  qt6-translations-l10n fonts-wqy-microhei
  # Wine's own caption-button font, for screenshots.sh.
  fonts-wine
)

export DEBIAN_FRONTEND=noninteractive
need_update=0

# toolchain.sh fetches sources with apt-get source. One deb-src entry for the release's main suite,
# with the URI and key of the deb entry that has it: the security and updates pools of some mirrors
# list sources they do not hold.
# shellcheck disable=SC1091
codename=$(. /etc/os-release && echo "${VERSION_CODENAME:-bookworm}")
has_src() {
  grep -qsE '^[[:space:]]*Types:.*deb-src' /etc/apt/sources.list.d/*.sources ||
    grep -qsE '^[[:space:]]*deb-src[[:space:]]' /etc/apt/sources.list /etc/apt/sources.list.d/*.list
}
if ! has_src; then
  tmp=$(mktemp)
  for f in /etc/apt/sources.list.d/*.sources; do
    [[ -e $f && ! -s $tmp ]] || continue
    awk -v suite="$codename" 'BEGIN { RS = "" }
      {
        types = uris = suites = key = ""
        n = split($0, line, "\n")
        for (i = 1; i <= n; i++) {
          if (line[i] ~ /^Types:/) types = " " substr(line[i], 7) " "
          else if (line[i] ~ /^URIs:/) uris = line[i]
          else if (line[i] ~ /^Suites:/) suites = " " substr(line[i], 8) " "
          else if (line[i] ~ /^Signed-By:/) key = line[i]
        }
        if (types ~ /[ \t]deb[ \t]/ && suites ~ ("[ \t]" suite "[ \t]") && uris != "") {
          print "Types: deb-src\n" uris "\nSuites: " suite "\nComponents: main"
          if (key != "") print key
          exit
        }
      }' "$f" >"$tmp"
  done
  if [[ -s $tmp ]]; then
    out=/etc/apt/sources.list.d/verolux-deb-src.sources
  else
    # One-line format: deb [options] URI SUITE COMPONENTS...
    sed -nE "0,/^[[:space:]]*deb[[:space:]]+(\[[^]]*\][[:space:]]+)?[^[:space:]]+[[:space:]]+${codename}[[:space:]]/{
      s/^[[:space:]]*deb[[:space:]]+((\[[^]]*\][[:space:]]+)?[^[:space:]]+)[[:space:]]+${codename}[[:space:]].*/deb-src \1 $codename main/p
    }" /etc/apt/sources.list 2>/dev/null >"$tmp" || true
    out=/etc/apt/sources.list.d/verolux-deb-src.list
  fi
  [[ -s $tmp ]] || {
    rm -f "$tmp"
    echo "no deb entry for $codename to mirror as deb-src" >&2
    exit 1
  }
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
