#!/usr/bin/env bash
# Order-list benchmark: verolux-render vs ReportLab vs wkhtmltopdf.
# usage: bench/render/run.sh [path/to/verolux-render] [extra bench.py options, e.g. --rows 1000 --runs 1]
# The renderer may also come from $VEROLUX_RENDER; the template from $VEROLUX_TEMPLATE.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
root="$(cd "$here/../.." && pwd)"

render="${VEROLUX_RENDER:-}"
if [[ $# -gt 0 && "$1" != --* ]]; then render="$1"; shift; fi
if [[ -z "$render" ]]; then
  for c in "$root"/build/release/bin/verolux-render "$root"/build/dev/bin/verolux-render "$root"/build*/bin/verolux-render; do
    if [[ -x "$c" ]]; then render="$c"; break; fi
  done
fi
[[ -x "$render" ]] || { echo "verolux-render not found: pass its path or set VEROLUX_RENDER" >&2; exit 2; }
template="${VEROLUX_TEMPLATE:-$root/demo/templates/orders.grf}"

exec /usr/bin/python3 "$here/bench.py" --render "$render" --template "$template" "$@"
