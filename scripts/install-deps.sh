#!/usr/bin/env bash
# Installs everything Verolux needs to build, run and test, from Debian 12's packages only.
# Idempotent: packages already present are left alone.
set -euo pipefail

BUILD_PKGS=(
  build-essential cmake ninja-build pkg-config git
  qt6-base-dev qt6-base-dev-tools qt6-qpa-plugins qt6-pdf-dev libgl-dev libxkbcommon-dev
  libcurl4-openssl-dev libssl-dev libsimdjson-dev libzint-dev libcpp-httplib-dev libcups2-dev
  fonts-wqy-microhei qt6-translations-l10n
  librsvg2-bin file
)
TEST_PKGS=(
  libgtest-dev googletest clang libclang-rt-14-dev clang-format clang-tidy
  cups cups-client cups-bsd cups-ipp-utils printer-driver-cups-pdf ghostscript
  poppler-utils xvfb xauth imagemagick x11-utils openbox xdotool
  chromium nodejs node-ws npm esbuild node-typescript python3 python3-websockets python3-reportlab
  wkhtmltopdf curl procps psmisc openssl
  lintian iproute2 trayer rofi
)

DEMO_PKGS=(python3 python3-websockets)

want=("${BUILD_PKGS[@]}")
case "${1:-}" in
  --test) want+=("${DEMO_PKGS[@]}" "${TEST_PKGS[@]}") ;;
  --demo) want+=("${DEMO_PKGS[@]}") ;;
esac

# What an installed package provides counts too: some nodejs builds carry npm and conflict with it.
provided=" $(dpkg-query -W -f='${db:Status-Abbrev}|${Provides}\n' 2>/dev/null | sed -n 's/^ii *|//p' |
  tr ',' '\n' | sed 's/(.*)//; s/^ *//; s/ *$//' | tr '\n' ' ') "
missing=()
for p in "${want[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" ||
    [[ $provided == *" $p "* ]] || missing+=("$p")
done
if ((${#missing[@]})); then
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
