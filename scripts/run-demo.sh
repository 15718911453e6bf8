#!/usr/bin/env bash
# Installs what Verolux needs, builds it and runs it on its demo: the demo backend serves the sample
# templates and takes the uploads, the launcher Kestrane starts the agent in a throw-away program
# folder, and one sample PDF request goes through. Runs until Ctrl-C or kill.
# Ports: VEROLUX_DEMO_AGENT_PORT (default 28502), VEROLUX_DEMO_BACKEND_PORT (default 8790).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

bash scripts/install-deps.sh --demo

cmake --preset dev >/dev/null
cmake --build --preset dev -j "$(nproc)" --target Verolux Kestrane verolux-demo-backend
bin="$root/build/dev/bin"

backend_port=${VEROLUX_DEMO_BACKEND_PORT:-8790}
agent_port=${VEROLUX_DEMO_AGENT_PORT:-28502}
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
# A trapped signal ends the `wait` below at once (a foreground sleep would hold it back).
trap 'exit 0' INT TERM

"$bin/verolux-demo-backend" --port "$backend_port" --templates "$root/demo/templates" \
  --uploads "$uploads" --releases "$folder/releases" --web "$root/demo/web" \
  > "$folder/backend.out" 2> "$folder/backend.log" &
backend=$!
pids+=("$backend")
until grep -q listening "$folder/backend.out" 2>/dev/null; do
  kill -0 "$backend" 2>/dev/null || { echo "the demo backend did not start: $folder/backend.log" >&2; exit 1; }
  sleep 0.1
done

# As users do: the launcher checks for updates, then starts the agent (QT_QPA_PLATFORM offscreen
# is chosen by the agent itself when there is no display). The agent takes its port from
# VEROLUX_PORT, which it inherits through the launcher.
VEROLUX_PORT=$agent_port "$folder/Kestrane"
for _ in $(seq 100); do
  (exec 3<>"/dev/tcp/127.0.0.1/$agent_port") 2>/dev/null && break
  sleep 0.1
done
echo "Verolux listens on ws://127.0.0.1:$agent_port (program folder $folder)"

/usr/bin/python3 "$root/demo/send-request.py" "$root/demo/requests/orders.json" \
  --agent "ws://127.0.0.1:$agent_port" --backend "http://127.0.0.1:$backend_port" --report-id demo-orders
for _ in $(seq 100); do [[ -s "$uploads/demo-orders.pdf" ]] && break; sleep 0.1; done

page="http://127.0.0.1:$backend_port/"
[[ $agent_port == 28502 ]] || page+="?agent=$agent_port"
echo
echo "Uploaded PDF:  $uploads/demo-orders.pdf"
echo "Demo page:     $page"
if [[ ${QT_QPA_PLATFORM:-} == offscreen ]]; then
  echo "Windows:       none (QT_QPA_PLATFORM=offscreen): preview and designer requests show nothing"
elif [[ -n ${DISPLAY:-}${WAYLAND_DISPLAY:-} ]]; then
  echo "Windows:       preview, designer and the main window (tray icon) appear on display ${DISPLAY:-$WAYLAND_DISPLAY}"
else
  echo "Windows:       none: no display, so the agent runs offscreen and preview and designer requests"
  echo "               show nothing; run the demo in a desktop session (or under xvfb-run -a) to see them"
fi
echo "Press Ctrl-C to stop."
wait "$backend" || true
echo "the demo backend ended: $folder/backend.log" >&2
exit 1
