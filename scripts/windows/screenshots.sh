#!/usr/bin/env bash
# Screenshots of the Windows programs as Wine draws them with Qt's windows platform on a virtual X
# display: the agent's main window with a few log lines, the preview of the demo's orders report
# (asked for over the WebSocket, as a web page does) and the designer with the orders template open.
# Wine runs in a prefix of its own (a copy of the toolchain cache's, kept for the next run) with a
# virtual desktop, so windows get Wine's frames and a maximised window fills the screen.
#   usage: scripts/windows/screenshots.sh [OUT_DIR]   (default docs/screenshots)
#   needs: build/windows/deploy (scripts/windows/build.sh), Xvfb, xdotool, xwininfo, ImageMagick,
#          /usr/bin/python3 with python3-websockets; fonts-wine for Wine's caption buttons
#   VEROLUX_SHOTS_WINE  the Wine prefix (default build/windows/shots-wine)
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
repo=$(cd "$here/../.." && pwd)
out=$(realpath -m "${1:-$repo/docs/screenshots}")
deploy=$repo/build/windows/deploy
wine=/usr/lib/wine/wine64
wineserver=/usr/lib/wine/wineserver
log() { printf '[%(%H:%M:%S)T] screenshots: %s\n' -1 "$*"; }
[[ -e $deploy/Verolux.exe ]] || { log "no $deploy/Verolux.exe: run scripts/windows/build.sh first"; exit 1; }
for tool in Xvfb xdotool xwininfo import convert; do
  command -v $tool >/dev/null || { log "$tool is missing"; exit 1; }
done

export WINEPREFIX=${VEROLUX_SHOTS_WINE:-$repo/build/windows/shots-wine} WINEDEBUG=-all WINEDLLOVERRIDES=mscoree,mshtml=
if [[ ! -e $WINEPREFIX/system.reg ]]; then
  cache=${VEROLUX_WINDOWS_CACHE:-$(ls -d /var/cache/verolux-windows/*/wine 2>/dev/null | head -n1 | xargs -r dirname)}
  [[ -d $cache/wine ]] || { log "no Wine prefix in the toolchain cache '$cache'"; exit 1; }
  rm -rf "$WINEPREFIX"
  cp -a "$cache/wine" "$WINEPREFIX"
fi

# A display of our own, before the first Wine program (Wine's desktop stays on the display it found).
for n in $(seq 150 250); do
  [[ -e /tmp/.X$n-lock || -e /tmp/.X11-unix/X$n ]] || { display=:$n; break; }
done
W=1280 H=800
Xvfb "$display" -screen 0 ${W}x${H}x24 -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
export DISPLAY=$display
work=$(mktemp -d /tmp/verolux-shots-XXXXXX)
"$wineserver" -k 2>/dev/null || true
cleanup() {
  "$wineserver" -k 2>/dev/null || true
  kill "$xvfb_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
for _ in $(seq 100); do [[ -e /tmp/.X11-unix/X${display#:} ]] && break; sleep 0.1; done

# Windows 10, one virtual desktop the size of the screen, no crash dialog; Wine's own captions in a
# font with Chinese (its Tahoma has none, and window titles are Chinese).
reg() { "$wine" reg add "$@" /f >/dev/null 2>&1; }
reg 'HKCU\Software\Wine' /v Version /d win10
reg 'HKCU\Software\Wine\Explorer' /v Desktop /d Default
reg 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d ${W}x${H}
reg 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0
cjk=$(fc-match -f '%{family[0]}' 'sans-serif:lang=zh-cn' 2>/dev/null || true)
if [[ -n $cjk && -n $(fc-list ":lang=zh:family=$cjk" 2>/dev/null) ]]; then
  for font in Tahoma 'MS Shell Dlg' 'MS Shell Dlg 2' 'Microsoft Sans Serif' 'Segoe UI'; do
    reg 'HKCU\Software\Wine\Fonts\Replacements' /v "$font" /d "$cjk"
  done
fi
# Wine's Marlett (Debian's fonts-wine) draws the caption buttons; the prefix finds it in its Fonts folder.
if [[ -e /usr/share/wine/fonts/marlett.ttf ]]; then
  cp /usr/share/wine/fonts/marlett.ttf "$WINEPREFIX/drive_c/windows/Fonts/"
else
  log "no /usr/share/wine/fonts/marlett.ttf (fonts-wine): the caption buttons show letters"
fi
"$wineserver" -w
"$wineserver" -p

winpath() { printf 'Z:%s' "${1//\//\\}"; }
# The window whose title matches, once it is mapped: its X id.
window() {
  local id
  for _ in $(seq 300); do
    id=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n1 || true)
    [[ -n $id ]] && { echo "$id"; return; }
    sleep 0.1
  done
  log "no window '$1'"
  return 1
}
# The screen, or the window when one is given, once drawn (more than a few colours) and settled (two
# captures alike).
shoot() {
  local name=$1 id=${2:-} cut="$work/cut.png" prev="$work/prev.png" x y w h
  rm -f "$prev"
  for _ in $(seq 200); do
    sleep 0.3
    import -window root "$work/screen.png"
    if [[ -n $id ]]; then
      eval "$(xwininfo -id "$id" | awk -F: '/Absolute upper-left X/{print "x="$2} /Absolute upper-left Y/{print "y="$2}
                                            /Width/{print "w="$2} /Height/{print "h="$2}' | tr -d ' ')"
      convert "$work/screen.png" -crop "${w}x${h}+${x}+${y}" +repage "$cut"
    else
      cp "$work/screen.png" "$cut"
    fi
    if (($(convert "$cut" -format %k info:) > 64)) && [[ -e $prev ]] &&
      [[ $(compare -metric AE "$prev" "$cut" null: 2>&1 || true) == 0 ]]; then
      cp "$cut" "$out/$name"
      log "$out/$name"
      return
    fi
    mv "$cut" "$prev"
  done
  log "$name: the screen did not settle"
  return 1
}
# Sends one text message to the agent on $port over a WebSocket and waits until it is written.
send() {
  /usr/bin/python3 - "$port" "$1" <<'EOF'
import sys
sys.path[:0] = ["tests/support", "tests/e2e"]
from wsclients import Clients
clients = Clients(int(sys.argv[1]), 1, timeout=30)
clients.send(sys.argv[2])
clients.close()
EOF
}
mkdir -p "$out"
cd "$repo"

# The agent, from a program folder of its own: started as the launcher starts it (Show=1), offline.
folder=$work/Verolux
cp -a "$deploy" "$folder"
mkdir -p "$folder/report"
cp demo/templates/orders.grf "$folder/report/"
port=$(/usr/bin/python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
printf '[AppInfo]\r\nWebsUrl=http://127.0.0.1:9\r\n[Verolux]\r\nShow=1\r\n' >"$folder/MyIni.ini"
VEROLUX_PORT=$port "$wine" "$folder/Verolux.exe" >/dev/null 2>&1 &
disown
for _ in $(seq 600); do (exec 3<>/dev/tcp/127.0.0.1/$port) 2>/dev/null && break; sleep 0.1; done
(exec 3<>/dev/tcp/127.0.0.1/$port) 2>/dev/null || { log "the agent does not listen on $port"; exit 1; }
# A page says hello and asks for the printers: log lines in the main window.
send '{"verolux": "hello"}'
send '{"verolux": "printers"}'
# A second start shows the running agent's window.
VEROLUX_PORT=$port "$wine" "$folder/Verolux.exe" >/dev/null 2>&1
shoot windows-agent.png "$(window 'Web报表服务端')"

# The demo's orders report in the preview window (maximised: the whole screen).
/usr/bin/python3 - "$work/preview.json" <<'EOF'
import json, sys
with open("demo/requests/orders.json", encoding="utf-8") as f:
    request = json.load(f)
request.update(preview="1", reportId="screenshot")
with open(sys.argv[1], "w", encoding="utf-8") as f:
    json.dump(request, f, ensure_ascii=False)
EOF
send "$(cat "$work/preview.json")"
window '报表预览-orders.grf' >/dev/null
shoot windows-preview.png
"$wineserver" -k
"$wineserver" -p

# The designer with the orders template and the demo's rows.
"$wine" "$deploy/verolux-designer.exe" "$(winpath "$repo/demo/templates/orders.grf")" \
  --data "$(winpath "$repo/demo/requests/orders.json")" >/dev/null 2>&1 &
disown
shoot windows-designer.png "$(window 'orders.grf - 报表设计器')"
