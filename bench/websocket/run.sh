#!/bin/sh
# The agent's WebSocket glue (bench_ws_agent) against node ws (ws_server.js), same client, same run.
#   bench/websocket/run.sh [build dir] [rounds per workload] [log]
# Prints MB/s and messages/s per round and the ratio Verolux / ws of the best rounds.
# With "log" the agent side writes its reassembly trace lines to a real MyLog.txt, as the running
# agent does; without it they are built and counted only.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
build=${1:-$here/../../build}
rounds=${2:-5}
log=${3:-}
bin=$build/bin
for f in bench_ws_agent bench_ws_client; do
  [ -x "$bin/$f" ] || { echo "missing $bin/$f: ninja -C $build bench_ws_agent bench_ws_client" >&2; exit 1; }
done

work=$(mktemp -d)
agent_pid= ws_pid=
cleanup() {
  [ -n "$agent_pid" ] && kill "$agent_pid" 2>/dev/null || true
  [ -n "$ws_pid" ] && kill "$ws_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT INT TERM

# Waits for "listening <port>" on a server's output and prints the port.
port_of() {
  i=0
  while [ $i -lt 100 ]; do
    p=$(awk '/^listening /{print $2; exit}' "$1" 2>/dev/null)
    [ -n "$p" ] && { echo "$p"; return 0; }
    sleep 0.1; i=$((i + 1))
  done
  echo "server did not start: $(cat "$1")" >&2; return 1
}

if [ "$log" = log ]; then
  mkdir "$work/log"
  set -- --log "$work/log"
else
  set --
fi
QT_QPA_PLATFORM=offscreen "$bin/bench_ws_agent" --port 0 "$@" >"$work/agent.out" 2>"$work/agent.err" &
agent_pid=$!
NODE_PATH=/usr/share/nodejs node "$here/ws_server.js" 0 >"$work/ws.out" 2>&1 &
ws_pid=$!
agent_port=$(port_of "$work/agent.out")
ws_port=$(port_of "$work/ws.out")

echo "node $(node --version), ws $(NODE_PATH=/usr/share/nodejs node -p "require('ws/package.json').version"), $(nproc) CPUs"
for workload in big small; do
  # Alternate the servers so a busy machine hurts both alike.
  r=0
  while [ $r -lt "$rounds" ]; do
    "$bin/bench_ws_client" --port "$agent_port" --workload $workload --repeat 1 --label Verolux | tee -a "$work/results"
    "$bin/bench_ws_client" --port "$ws_port" --workload $workload --repeat 1 --label ws | tee -a "$work/results"
    r=$((r + 1))
  done
done | grep -v '^RESULT' || true
# tee wrote the RESULT lines too; pick the best round of each server and workload.
awk '/^RESULT/ {
       key = $2 " " $3; t = $6
       if (!(key in best) || t < best[key]) { best[key] = t; msgs[key] = $4; bytes[key] = $5 }
     }
     END {
       for (w = 1; w <= 2; w++) {
         wl = (w == 1) ? "big" : "small"
         v = "Verolux " wl; n = "ws " wl
         if (!(v in best) || !(n in best)) continue
         printf "%-5s Verolux %8.1f MB/s %10.0f msg/s | ws %8.1f MB/s %10.0f msg/s | Verolux/ws %.2fx\n", wl,
                bytes[v] / 1e6 / best[v], msgs[v] / best[v], bytes[n] / 1e6 / best[n], msgs[n] / best[n], best[n] / best[v]
       }
     }' "$work/results"
