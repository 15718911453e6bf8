#!/usr/bin/env bash
# Installs what Verolux needs, builds it and runs it on its demo: the demo backend serves the sample
# templates and takes the uploads, the launcher Kestrane starts the agent in a throw-away program
# folder, and one sample PDF request goes through. Runs until Ctrl-C.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

bash scripts/install-deps.sh --demo

cmake --preset dev >/dev/null
cmake --build --preset dev -j "$(nproc)" --target Verolux Kestrane verolux-demo-backend
bin="$root/build/dev/bin"

backend_port=${VEROLUX_DEMO_BACKEND_PORT:-8790}
agent_port=28502
for port in "$agent_port" "$backend_port"; do
  if (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null; then
    echo "port $port is already in use (another Verolux agent or demo?); stop it first" >&2
    exit 1
  fi
done
folder=$(mktemp -d /tmp/verolux-demo.XXXXXX)
uploads="$folder/uploads"
mkdir -p "$folder/report" "$uploads" "$folder/releases"

# The program folder: both programs side by side, the backend configured, no start request yet.
cp "$bin/Verolux" "$bin/Kestrane" "$folder/"
printf '[AppInfo]\r\nWebsUrl=http://127.0.0.1:%s\r\n' "$backend_port" > "$folder/MyIni.ini"

pids=()
cleanup() {
  pkill -f "^$folder/Verolux" 2>/dev/null || true
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  wait 2>/dev/null || true
  echo "stopped; the program folder stays at $folder"
}
trap cleanup EXIT
trap 'exit 0' INT TERM

"$bin/verolux-demo-backend" --port "$backend_port" --templates "$root/demo/templates" \
  --uploads "$uploads" --releases "$folder/releases" --web "$root/demo/web" \
  > "$folder/backend.out" 2> "$folder/backend.log" &
pids+=($!)
until grep -q listening "$folder/backend.out" 2>/dev/null; do sleep 0.1; done

# As users do: the launcher checks for updates, then starts the agent (QT_QPA_PLATFORM offscreen
# is chosen by the agent itself when there is no display).
"$folder/Kestrane"
for _ in $(seq 100); do
  (exec 3<>"/dev/tcp/127.0.0.1/$agent_port") 2>/dev/null && break
  sleep 0.1
done
echo "Verolux listens on ws://127.0.0.1:$agent_port (program folder $folder)"

/usr/bin/python3 "$root/demo/send-request.py" "$root/demo/requests/orders.json" \
  --agent "ws://127.0.0.1:$agent_port" --backend "http://127.0.0.1:$backend_port" --report-id demo-orders
for _ in $(seq 100); do [[ -s "$uploads/demo-orders.pdf" ]] && break; sleep 0.1; done

echo
echo "Uploaded PDF:  $uploads/demo-orders.pdf"
echo "Demo page:     http://127.0.0.1:$backend_port/"
echo "Press Ctrl-C to stop."
while true; do sleep 3600; done
