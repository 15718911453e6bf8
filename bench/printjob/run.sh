#!/usr/bin/env bash
# Silent print against PDF export: how long each keeps the agent busy, for 10 to 32,767 rows.
# usage: bench/printjob/run.sh [BIN_DIR] [bench.py options]   (BIN_DIR default: build/release/bin)
# Build first: cmake --preset release && cmake --build --preset release --target Verolux verolux-demo-backend
# Needs root (a stopped CUPS queue VXPDF_BENCH is set up); takes the machine's CUPS lock.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
bin="${1:-$here/../../build/release/bin}"
shift || true
. "$here/../common.sh"
need_agent "$bin"
exec flock /tmp/verolux-cups.lock /usr/bin/python3 "$here/bench.py" "$bin" "$@"
