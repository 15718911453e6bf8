#!/usr/bin/env bash
# Raw job benchmark: a page's raw job from send to "completed" on a CUPS raw queue (socket backend to a
# listener of the benchmark), against `lp -o raw` of the same bytes. Needs root (lpadmin) and cupsd.
# usage: bench/raw/run.sh [BIN_DIR] [bench.py options]   (BIN_DIR default: build/dev/bin)
# Build first: cmake --build --preset dev --target Verolux verolux-demo-backend
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
bin="${1:-$here/../../build/dev/bin}"
shift || true
. "$here/../common.sh"
need_agent "$bin"
exec /usr/bin/python3 "$here/bench.py" "$bin" "$@"
