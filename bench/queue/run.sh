#!/usr/bin/env bash
# Request queue benchmark: how fast the agent answers a page's hello while a template trickles in at
# 2,000 B/s, and 3,000 pages sending a PDF job at once (all answered, wall time, agent peak RSS).
# usage: bench/queue/run.sh [BIN_DIR] [bench.py options]   (BIN_DIR default: build/bin)
# Build first: ninja -C build Verolux verolux-demo-backend
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
bin="${1:-$here/../../build/bin}"
shift || true
. "$here/../common.sh"
need_agent "$bin"
exec /usr/bin/python3 "$here/bench.py" "$bin" "$@"
