#!/usr/bin/env bash
# Order-list benchmark: verolux-render vs ReportLab vs wkhtmltopdf.
# usage: bench/render/run.sh [path/to/verolux-render] [extra bench.py options, e.g. --rows 1000 --runs 1]
# The renderer may also come from $VEROLUX_RENDER; the template from $VEROLUX_TEMPLATE.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
. "$here/../common.sh"
render_from "$@"
shift "$shifted"
template="${VEROLUX_TEMPLATE:-$root/demo/templates/orders.grf}"

exec /usr/bin/python3 "$here/bench.py" --render "$render" --template "$template" "$@"
