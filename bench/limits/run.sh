#!/usr/bin/env bash
# Resource limits of the report engine: long group keys over many pages, many large pictures.
# usage: bench/limits/run.sh [path/to/verolux-render] [bench.py options, e.g. --pictures 10 --skip jpeg]
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
exec /usr/bin/python3 "$here/bench.py" --render "$render" --root "$root" "$@"
