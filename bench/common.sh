# Sourced by the benchmarks' run.sh: where the repository is, and the programs they time.
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"

# render_from ARGS...: verolux-render from the first argument (unless an option), $VEROLUX_RENDER or a
# build tree; sets `render` and `shifted` (1 when the first argument was it).
render_from() {
  render="${VEROLUX_RENDER:-}" shifted=0
  if [[ $# -gt 0 && "$1" != --* ]]; then render="$1" shifted=1; fi
  if [[ -z "$render" ]]; then
    for c in "$root"/build/release/bin/verolux-render "$root"/build/dev/bin/verolux-render "$root"/build*/bin/verolux-render; do
      if [[ -x "$c" ]]; then render="$c"; break; fi
    done
  fi
  [[ -x "$render" ]] || { echo "verolux-render not found: pass its path or set VEROLUX_RENDER" >&2; exit 2; }
}

# need_agent BIN_DIR: both programs are built there.
need_agent() {
  for exe in Verolux verolux-demo-backend; do
    [[ -x "$1/$exe" ]] || { echo "run.sh: $1/$exe missing; build it first" >&2; exit 2; }
  done
}
