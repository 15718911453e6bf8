#!/usr/bin/env bash
# Expressions against plain references on 10,000 order rows (see expressions.py).
# usage: bench/layout/expressions.sh [path/to/verolux-render] [--timeout SECONDS]
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
root="$(cd "$here/../.." && pwd)"
render="${VEROLUX_RENDER:-}"
if [[ $# -gt 0 && "$1" != --* ]]; then render="$1"; shift; fi
if [[ -z "$render" ]]; then
  for c in "$root"/build/release/bin/verolux-render "$root"/build/dev/bin/verolux-render; do
    if [[ -x "$c" ]]; then render="$c"; break; fi
  done
fi
[[ -x "$render" ]] || { echo "verolux-render not found: pass its path or set VEROLUX_RENDER" >&2; exit 2; }
exec /usr/bin/python3 "$here/expressions.py" --render "$render" --template "$root/demo/templates/orders.grf" "$@"
