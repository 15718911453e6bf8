#!/usr/bin/env bash
# Expressions against plain references on 10,000 order rows (see expressions.py).
# usage: bench/layout/expressions.sh [path/to/verolux-render] [--timeout SECONDS]
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
. "$here/../common.sh"
render_from "$@"
shift "$shifted"
exec /usr/bin/python3 "$here/expressions.py" --render "$render" --template "$root/demo/templates/orders.grf" "$@"
