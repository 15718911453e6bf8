#!/usr/bin/env bash
# Print pipeline benchmark: PDF requests of 10, 1,000 and 32,767 rows from a WebSocket client to the
# real agent until the demo backend has stored the upload, and sequential small requests per second.
# usage: bench/pipeline/run.sh [BIN_DIR] [bench.py options]   (BIN_DIR default: build/bin)
# Build first: ninja -C build Verolux verolux-demo-backend
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
bin="${1:-$here/../../build/bin}"
shift || true
. "$here/../common.sh"
need_agent "$bin"
exec /usr/bin/python3 "$here/bench.py" "$bin" "$@"
