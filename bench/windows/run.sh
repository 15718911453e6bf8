#!/usr/bin/env bash
# The Windows build under Wine beside the Linux one: bench/render (verolux-render alone, no other
# renderers) and bench/pipeline (the agent with the Linux demo backend), each once with the Linux
# programs and once with the Windows ones, then Wine's time over Linux's.
# usage: bench/windows/run.sh [LINUX_BIN_DIR]   (default build/dev/bin: Verolux, verolux-demo-backend,
#   verolux-render). Wants scripts/windows/test.sh's build (build/windows/deploy and its Wine prefix).
#   VEROLUX_BENCH_ROWS  render rows (default 1000,10000,32767); VEROLUX_BENCH_RUNS runs (default 3);
#   VEROLUX_BENCH_PIPELINE_ROWS  pipeline rows (default 10,1000,32767)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
repo=$(cd "$here/../.." && pwd)
linux=$(realpath "${1:-$repo/build/dev/bin}")
win=$repo/build/windows
rows=${VEROLUX_BENCH_ROWS:-1000,10000,32767}
runs=${VEROLUX_BENCH_RUNS:-3}
prows=${VEROLUX_BENCH_PIPELINE_ROWS:-10,1000,32767}
for f in "$linux"/{Verolux,verolux-demo-backend,verolux-render} "$win"/deploy/Verolux.exe "$win"/bin/verolux-render.exe; do
  [[ -e $f ]] || { echo "run.sh: $f missing; build it first" >&2; exit 2; }
done
[[ -e $win/wine/system.reg ]] || { echo "run.sh: no Wine prefix in $win/wine (run scripts/windows/test.sh)" >&2; exit 2; }

# The Windows programs beside their DLLs, each behind a script of the Linux program's name (Wine maps
# / to Z:, so the benchmarks' Unix paths reach the programs as they are).
work=$(mktemp -d /tmp/verolux-winbench.XXXXXX)
export WINEPREFIX=$win/wine WINEDEBUG=-all WINEDLLOVERRIDES=mscoree,mshtml=
/usr/lib/wine/wineserver -k 2>/dev/null || true
/usr/lib/wine/wineserver -p
trap '/usr/lib/wine/wineserver -k 2>/dev/null || true; rm -rf "$work"' EXIT
cp -a "$win"/deploy/. "$work"/
cp "$win"/bin/verolux-render.exe "$work"/
for program in Verolux verolux-render; do
  printf '#!/bin/sh\nexec /usr/lib/wine/wine64 "%s/%s.exe" -platform offscreen "$@"\n' "$work" "$program" >"$work/$program"
  chmod +x "$work/$program"
done
ln -s "$linux/verolux-demo-backend" "$work/verolux-demo-backend"
/usr/lib/wine/wine64 cmd /c exit

median_line() { awk -v n="$2" '$1 == n && $2 == "verolux" { print $3 }' "$1"; }
for side in linux windows; do
  bin=$linux
  [[ $side == windows ]] && bin=$work
  echo "== render, $side"
  bash "$repo/bench/render/run.sh" "$bin/verolux-render" --rows "$rows" --runs "$runs" --skip reportlab,wkhtmltopdf | tee "$work/render-$side.txt"
  echo "== pipeline, $side"
  bash "$repo/bench/pipeline/run.sh" "$bin" --runs "$runs" --rows "$prows" --seconds 2 | tee "$work/pipeline-$side.txt"
done

echo "== Wine over Linux (wall time)"
for n in ${rows//,/ }; do
  l=$(median_line "$work/render-linux.txt" "$n") w=$(median_line "$work/render-windows.txt" "$n")
  awk -v n="$n" -v l="$l" -v w="$w" 'BEGIN { printf "render %6d rows: %.3f s / %.3f s = %.2fx\n", n, w, l, w / l }'
done
for side in linux windows; do
  awk '$1 ~ /^[0-9]+$/ && NF >= 6 { print $1, $4 }' "$work/pipeline-$side.txt" >"$work/p-$side"
done
join "$work/p-windows" "$work/p-linux" | awk '{ printf "pipeline %6d rows: %.1f ms / %.1f ms = %.2fx\n", $1, $2, $3, $2 / $3 }'
