#!/usr/bin/env bash
# Long values and long style chains: times verolux-render on hostile inputs (see bench.py).
# usage: bench/layout/run.sh [path/to/verolux-render] [--timeout SECONDS]
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
. "$here/../common.sh"
render_from "$@"
shift "$shifted"
exec /usr/bin/python3 "$here/bench.py" --render "$render" --template "$root/demo/templates/orders.grf" "$@"
