#!/usr/bin/env bash
# Installs what is missing, builds Pavo Server and starts it.
# In a graphical session it starts there. Without one it starts on a virtual display (Xvfb) with a
# private session bus and the shell extension's stand-in as the desktop, and says where it listens.
set -euo pipefail
cd "$(dirname "$0")/.."

tools/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j2 --target pavo-server pavo-standin-extension

program=$PWD/build/app/pavo-server
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  exec "$program"
fi

if [ -z "${PAVO_RUN_BUS:-}" ]; then
  # By its path from here: "$0" may be relative to where the script was started.
  exec env PAVO_RUN_BUS=1 dbus-run-session -- "$PWD/tools/run.sh" "$@"
fi

work=$(mktemp -d)
pids=()
trap 'kill "${pids[@]}" 2>/dev/null; wait; rm -rf "$work"' EXIT

Xvfb -displayfd 1 -nolisten tcp -screen 0 1280x800x24 >"$work/display" 2>/dev/null &
pids+=($!)
xvfb=$!
until [ -s "$work/display" ]; do
  kill -0 "$xvfb" 2>/dev/null || { echo "Xvfb did not start" >&2; exit 1; }
  sleep 0.1
done
export DISPLAY=:$(head -n 1 "$work/display")
export QT_QPA_PLATFORM=xcb

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

build/tests/support/pavo-standin-extension "$work/desktop.json" >"$work/desktop.log" &
pids+=($!)
"$program" &
pids+=($!)
server=$!

port=
for _ in $(seq 100); do
  port=$(ss -Hltnp 2>/dev/null | grep "pid=$server," | awk '{print $4}' | sed 's/.*://' | head -n 1 || true)
  [ -n "$port" ] && break
  sleep 0.2
done
[ -n "$port" ] || { echo "Pavo Server did not start listening" >&2; exit 1; }

cat <<TEXT
Pavo Server is running on the virtual display $DISPLAY and listens on $(hostname):$port
(ws://127.0.0.1:$port/?i=<device id>). Clients on this network find it as "_pavo._tcp".
Pair a device: connect it, then answer the prompt with
  tools/answer-prompt.sh $DISPLAY authorize
See the display:
  tools/screenshot.sh $DISPLAY screen.png
Stop with Ctrl-C.
TEXT
wait "$server"
