#!/usr/bin/env bash
# Soak benchmark: 10,000 PDF requests over 10 WebSocket connections to the real agent with the demo
# backend, then idle; uploads received against requests sent, file descriptors and memory of the agent.
# usage: bench/soak/run.sh [BIN_DIR] [soak.py options]   (BIN_DIR default: build/dev/bin)
# Build first: cmake --build --preset dev --target Verolux verolux-demo-backend
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
bin="${1:-$here/../../build/dev/bin}"
shift || true
. "$here/../common.sh"
need_agent "$bin"
exec /usr/bin/python3 "$here/soak.py" "$bin" "$@"
