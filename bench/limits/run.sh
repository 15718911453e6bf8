#!/usr/bin/env bash
# Resource limits of the report engine: long group keys over many pages, many large pictures.
# usage: bench/limits/run.sh [path/to/verolux-render] [bench.py options, e.g. --pictures 10 --skip jpeg]
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
. "$here/../common.sh"
render_from "$@"
shift "$shifted"
exec /usr/bin/python3 "$here/bench.py" --render "$render" --root "$root" "$@"
