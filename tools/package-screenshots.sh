#!/usr/bin/env bash
# Screenshots of the installed look on a virtual X display: the menu entries with their icons in a
# launcher's listing (rofi) and the agent's icon in a tray (trayer). Installs the build into a staging
# folder (nothing system-wide) and points XDG_DATA_DIRS at it.
#
# usage: tools/package-screenshots.sh BUILD_DIR OUT_DIR    writes OUT_DIR/launcher.png, OUT_DIR/tray.png
set -euo pipefail
build=$(realpath "$1")
mkdir -p "$2"
out=$(realpath "$2")
work=$(mktemp -d /tmp/verolux-shots.XXXXXX)
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

DESTDIR="$work/stage" cmake --install "$build" --prefix /usr >/dev/null
export XDG_DATA_DIRS="$work/stage/usr/share:/usr/share" XDG_DATA_HOME="$work/data" HOME="$work"
export PATH="$work/stage/usr/bin:$PATH" # the entries' TryExec looks for the starter there

display=:$((60 + RANDOM % 100))
Xvfb "$display" -screen 0 800x480x24 -nolisten tcp &
pids+=($!)
export DISPLAY=$display
for _ in $(seq 100); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
openbox &
pids+=($!)
xsetroot -solid '#3b4252' 2>/dev/null || true
trayer --edge top --align right --widthtype request --height 40 --SetDockType true --transparent false \
  --tint 0xe5e9f0 --expand true --padding 6 &
pids+=($!)
# The agent docks its icon only when a tray is there when it starts.
for _ in $(seq 100); do xwininfo -root -children 2>/dev/null | grep -q '"panel"' && break; sleep 0.1; done

# The agent from the staged package, started as the launcher would.
folder="$work/agent"
mkdir -p "$folder"
printf '[AppInfo]\r\nWebsUrl=http://127.0.0.1:9\r\n[Verolux]\r\nShow=1\r\n' >"$folder/MyIni.ini"
VEROLUX_HOME=$folder QT_QPA_PLATFORM=xcb "$work/stage/usr/lib/verolux/Verolux" --port $((40000 + RANDOM % 20000)) 2>"$work/agent.log" &
pids+=($!)
for _ in $(seq 100); do [[ -s $folder/Verolux.lock ]] && break; sleep 0.1; done
sleep 1 # the tray host docks the icon asynchronously; nothing observable to wait on
import -window root "$work/tray-full.png"
# The tray's corner, enlarged so the icon can be judged.
convert "$work/tray-full.png" -crop 120x48+680+0 +repage -filter point -resize 300% "$out/tray.png"

rofi -show drun -show-icons -filter Verolux -location 3 -yoffset 48 \
  -theme-str 'window {width: 440px;} listview {lines: 3;} element-icon {size: 32px;}' &
pids+=($!)
for _ in $(seq 100); do xdotool search --class rofi >/dev/null 2>&1 && break; sleep 0.1; done
sleep 1 # icons load after the window maps
import -window root "$work/launcher-full.png"
convert "$work/launcher-full.png" -crop 460x200+340+0 +repage "$out/launcher.png"
echo "wrote $out/launcher.png $out/tray.png"
