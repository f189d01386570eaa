#!/usr/bin/env bash
# Installs what is missing, builds Pavo Server and starts it.
# In a graphical session it starts there, as the user's own program. Without one it starts on a
# virtual display (Xvfb) with a private session bus and the shell extension's stand-in as the
# desktop, and says where it listens. That program keeps its settings, cache and autostart entry in
# build/run-home, never in the user's home; the folder outlives the run so that a paired device
# stays paired.
set -euo pipefail
cd "$(dirname "$0")/.."

build() {
  tools/install-deps.sh
  cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  # One at a time: make builds targets named together in parallel, racing on the libraries they share.
  local target
  for target in "$@"; do
    cmake --build build -j2 --target "$target"
  done
}

program=$PWD/build/app/pavo-server
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  build pavo-server
  exec "$program"
fi

home=$PWD/build/run-home
mkdir -p "$home/tmp"
# Held as long as this run lasts: a second run finds it taken and tells where the first listens.
exec 9>>"$home/run.lock"
if ! flock -n 9; then
  if [ -s "$home/listening" ]; then
    echo "Pavo Server is already running, started by another tools/run.sh:"
    cat "$home/listening"
  else
    echo "Another tools/run.sh is starting Pavo Server; run this again in a moment to see where it listens."
  fi
  exit 0
fi

# The 64-pixel application icon stands in for the desktop's application icons.
build pavo-server pavo-standin-extension pavo_hicolor_icons

work=$(mktemp -d)
pids=()
stop() {
  # Newest first: the program goes before its display and its bus, so it never sees them vanish.
  local i
  for ((i = ${#pids[@]} - 1; i >= 0; i--)); do
    kill "${pids[i]}" 2>/dev/null || true
    wait "${pids[i]}" 2>/dev/null || true
  done
  rm -f "$home/listening"
  rm -rf "$work"
}
trap stop EXIT
trap 'exit 0' INT TERM HUP

# Each helper in a session of its own, out of reach of the terminal's Ctrl-C: the X server would
# end on it at once, under the program still drawing on it.
background() {
  setsid "$@" &
  pids+=($!)
}

# start NAME FILE COMMAND...: starts a helper whose first output line, in FILE, says it is ready.
start() {
  local name=$1 file=$2
  shift 2
  background "$@" >"$file" 2>"$file.log"
  until [ -s "$file" ]; do
    kill -0 "${pids[-1]}" 2>/dev/null || { echo "$name did not start:" >&2; cat "$file.log" >&2; exit 1; }
    sleep 0.1
  done
}

start Xvfb "$work/display" Xvfb -displayfd 1 -nolisten tcp -screen 0 1280x800x24
export DISPLAY=:$(head -n 1 "$work/display")
export QT_QPA_PLATFORM=xcb
# The folder as a D-Bus address value: other bytes than these as %XX.
bus_folder() {
  local LC_ALL=C i c value=
  for ((i = 0; i < ${#work}; i++)); do
    c=${work:i:1}
    case $c in
      [-0-9A-Za-z_/.]) value+=$c ;;
      *) printf -v c '%%%02X' "'$c" && value+=$c ;;
    esac
  done
  echo "$value"
}
start "The session bus" "$work/bus" dbus-daemon --session --nofork --address="unix:dir=$(bus_folder)" --print-address=1
DBUS_SESSION_BUS_ADDRESS=$(head -n 1 "$work/bus")
export DBUS_SESSION_BUS_ADDRESS

# The program's own files: settings, cache, autostart entry, extension, and its single-instance
# keys (in TMPDIR), which a stopped program leaves for the next start to take over.
export HOME=$home XDG_CONFIG_HOME=$home/.config XDG_CACHE_HOME=$home/.cache XDG_DATA_HOME=$home/.local/share
export TMPDIR=$home/tmp XDG_RUNTIME_DIR=$work/runtime
mkdir -m 700 "$XDG_RUNTIME_DIR"

# A desktop with two applications, and a gnome-extensions command that accepts everything.
icon=$PWD/build/ui/hicolor/64/pavo-server.png
cat >"$work/desktop.json" <<JSON
{"installedApps": [{"id": "org.gnome.TextEditor.desktop", "name": "Text Editor", "icon": "$icon"},
                   {"id": "org.gnome.Terminal.desktop", "name": "Terminal", "icon": "$icon"}],
 "runningApps": ["org.gnome.Terminal.desktop"], "currentApp": "org.gnome.Terminal.desktop",
 "volumeLevel": 40}
JSON
mkdir "$work/bin"
printf '#!/bin/sh\nexit 0\n' >"$work/bin/gnome-extensions"
chmod +x "$work/bin/gnome-extensions"
export PATH=$work/bin:$PATH

background build/tests/support/pavo-standin-extension "$work/desktop.json" >"$work/desktop.log"
background "$program"
server=$!

port=
for _ in $(seq 150); do
  kill -0 "$server" 2>/dev/null || { echo "Pavo Server ended before it listened" >&2; exit 1; }
  port=$(ss -Hltnp 2>/dev/null | grep "pid=$server," | awk '{print $4}' | sed 's/.*://' | head -n 1 || true)
  [ -n "$port" ] && break
  sleep 0.2
done
[ -n "$port" ] || { echo "Pavo Server did not start listening" >&2; exit 1; }

# The program publishes itself through the avahi-daemon on the system bus; this run starts none of
# its own, since one started here would announce on the machine's real network.
if dbus-send --system --print-reply --dest=org.freedesktop.Avahi / org.freedesktop.Avahi.Server.GetVersionString \
  >/dev/null 2>&1; then
  discovery="Clients on this network find it as \"_pavo._tcp\"."
else
  discovery="It is not published for clients to find: no avahi-daemon runs on this machine."
fi
cat >"$home/listening" <<TEXT
Pavo Server is running on the virtual display $DISPLAY and listens on $(hostname):$port
(ws://127.0.0.1:$port/?i=<device id>). $discovery
TEXT
cat "$home/listening"
cat <<TEXT
Pair a device: connect it, then answer the prompt with
  tools/answer-prompt.sh $DISPLAY authorize
See the display:
  tools/screenshot.sh $DISPLAY screen.png
Stop with Ctrl-C.
TEXT
wait "$server"
