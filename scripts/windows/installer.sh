#!/bin/sh
# Builds the Windows setup program from the deployed programs:
#   build/windows/deploy/  ->  build/windows/VeroluxSetup-<version>.exe
# usage: scripts/windows/installer.sh [DEPLOY [SETUP]]
# Needs makensis (Debian's nsis, with its amd64 stubs) and x86_64-w64-mingw32-g++-posix.
set -eu

root=$(cd "$(dirname "$0")/../.." && pwd)
version=$(sed -n 's/^project(Verolux VERSION \([0-9][0-9.]*\) .*/\1/p' "$root/CMakeLists.txt")
[ -n "$version" ] || {
    echo "installer.sh: no version in $root/CMakeLists.txt" >&2
    exit 1
}
deploy=$(realpath -m "${1:-$root/build/windows/deploy}")
setup=$(realpath -m "${2:-$root/build/windows/VeroluxSetup-$version.exe}")
work=$root/build/windows/installer

for program in Verolux.exe Kestrane.exe verolux-designer.exe; do
    [ -f "$deploy/$program" ] || {
        echo "installer.sh: $deploy/$program is missing (run scripts/windows/build.sh)" >&2
        exit 1
    }
done
mkdir -p "$work" "$(dirname "$setup")"

# The setup's helper: static, so it runs from the setup's temporary folder without DLLs.
x86_64-w64-mingw32-g++-posix -std=c++20 -O2 -Wall -Wextra -Werror -static -municode -s \
    -I"$root" "$root/packaging/windows/SetupHelper.cpp" "$root/common/IniText.cpp" \
    "$root/common/SafeNames.cpp" "$root/common/TextFile.cpp" "$root/common/TextFile_windows.cpp" \
    "$root/common/WideText_windows.cpp" -o "$work/SetupHelper.exe"

# The uninstaller removes what was installed, file by file, and nothing of the user's: the lists come
# from the deploy folder as it is now. Deepest folders first, so each is empty when its turn comes.
# shellcheck disable=SC2016 # $INSTDIR is NSIS's, not the shell's
(
    cd "$deploy"
    find . -type f ! -name MyIni.ini ! -name MyLog.txt | LC_ALL=C sort |
        sed 's|^\./||; s|/|\\|g; s|.*|    Delete "$INSTDIR\\&"|'
    find . -mindepth 1 -type d | awk '{ print gsub("/", "/") "\t" $0 }' | LC_ALL=C sort -rn | cut -f2- |
        sed 's|^\./||; s|/|\\|g; s|.*|    RMDir "$INSTDIR\\&"|'
) >"$work/files.nsh"

makensis -V2 -INPUTCHARSET UTF8 \
    -DVERSION="$version" -DDEPLOY="$deploy" -DHELPER="$work/SetupHelper.exe" \
    -DFILES="$work/files.nsh" -DOUTFILE="$setup" "$root/packaging/windows/verolux.nsi"
echo "installer.sh: $setup ($(du -k "$setup" | cut -f1) KiB)"
