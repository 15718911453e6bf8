#!/usr/bin/env bash
# clang-tidy with the project's .clang-tidy over the C++ sources a change touched.
#   scripts/tidy.sh BUILD_DIR [BASE]   sources changed since BASE (default: the last 30 commits)
#   scripts/tidy.sh BUILD_DIR --all    every source
# BUILD_DIR holds compile_commands.json. Tests, benchmarks and fuzz targets are left out.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:?usage: scripts/tidy.sh BUILD_DIR [BASE|--all]}
base=${2:-HEAD~30}

if [[ "$base" == --all ]] || ! git rev-parse -q --verify "$base^{commit}" >/dev/null; then
  files=$(git ls-files '*.cpp')
else
  # A changed header is checked through its source file, where it has one.
  files=$(git diff --name-only --diff-filter=AM "$base" -- '*.cpp' '*.h' | sed 's/\.h$/.cpp/' | sort -u |
          while read -r f; do if [[ -f "$f" ]]; then echo "$f"; fi; done)
fi
files=$(grep -Ev '^(tests|bench)/' <<<"$files" || true)
# Only what the build compiles: a header without a source of its own (platform files beside it) has no
# compile command to be checked with.
files=$(while read -r f; do if [[ -n "$f" ]] && grep -qF "/$f\"" "$build/compile_commands.json"; then echo "$f"; fi; done <<<"$files")
[[ -n "$files" ]] || { echo "tidy: no sources changed"; exit 0; }
echo "tidy: $(wc -l <<<"$files") sources"
xargs -P "$(nproc)" -n 4 clang-tidy --quiet -p "$build" <<<"$files" 2> >(grep -v 'warnings generated' >&2)
