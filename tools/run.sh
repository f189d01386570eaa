#!/usr/bin/env bash
# Installs what is missing, builds Pavo Server and starts it.
# In a graphical session it starts there, as the user's own program. Without one it starts on a
# virtual display (Xvfb) with a private session bus and the shell extension's stand-in as the
# desktop, and says where it listens. That program keeps its settings, cache and autostart entry in
# build/run-home, never in the user's home; the folder outlives the run so that a paired device
# stays paired.
# With --gnome-shell it starts a real GNOME Shell, headless, with the built extension instead of the
# stand-in, and the program on that shell's X11 display.
set -euo pipefail
cd "$(dirname "$0")/.."

desktop=standin
case "${1:-}" in
  "") ;;
  --gnome-shell) desktop=gnome-shell ;;
  *) echo "usage: $0 [--gnome-shell]" >&2; exit 2 ;;
esac

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
if [ "$desktop" = standin ] && [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
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

if [ "$desktop" = gnome-shell ]; then
  build pavo-server pavo_shell_extension
else
  # The 64-pixel application icon stands in for the desktop's application icons.
  build pavo-server pavo-standin-extension pavo_hicolor_icons
fi

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

# A real GNOME Shell 43, headless, with the built extension installed system-wide in a folder of the
# build and enabled. It gets a system bus of its own, so that a client's "shut down" reaches no
# further than this shell. X11 clients, the program among them, draw on its Xwayland display.
start_gnome_shell() {
  local prefix=$PWD/build/run-prefix helper=pavo-test-helper@osmunda.org shell
  command -v Xwayland >/dev/null || {
    echo "The program needs the shell's X11 display: install the Debian package xwayland." >&2
    exit 1
  }
  cmake --install build/extension --prefix "$prefix" >/dev/null
  # The tests' helper extension leaves the Overview the shell starts in, where no window has the
  # focus, the pairing prompt included, and then owns a name that tells the shell is up.
  cp -r "tests/extension/helper/$helper" "$prefix/share/gnome-shell/extensions/"
  export XDG_DATA_DIRS=$prefix/share:${XDG_DATA_DIRS:-/usr/local/share:/usr/share}
  # Services the bus starts, the settings store among them, keep to build/run-home too.
  dbus-update-activation-environment HOME XDG_CONFIG_HOME XDG_CACHE_HOME XDG_DATA_HOME XDG_DATA_DIRS XDG_RUNTIME_DIR
  gsettings set org.gnome.shell disable-user-extensions false
  gsettings set org.gnome.shell enabled-extensions "['pavo@osmunda.org', '$helper']"
  # The program leaves its extension disabled when its last client goes: that is not this start's business.
  gsettings set org.gnome.shell disabled-extensions "[]"
  # Without this folder the shell aborts as it starts Xwayland.
  [ -d /tmp/.X11-unix ] || { mkdir -p /tmp/.X11-unix && chmod 1777 /tmp/.X11-unix; }

  # A sound server whose only output plays nowhere: the volume can be set all the same.
  background pulseaudio --daemonize=no -n --exit-idle-time=-1 --load=module-null-sink \
    --load=module-native-protocol-unix >"$work/sound.log" 2>&1
  cat >"$work/system-bus.conf" <<XML
<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig><type>custom</type><listen>unix:dir=$(bus_folder)</listen><auth>EXTERNAL</auth>
<policy context="default"><allow send_destination="*"/><allow receive_sender="*"/><allow own="*"/></policy>
</busconfig>
XML
  start "The shell's system bus" "$work/system-bus" dbus-daemon --config-file="$work/system-bus.conf" --nofork \
    --print-address=1
  # Started from a graphical session, it would take that session's display for its own.
  unset DISPLAY WAYLAND_DISPLAY
  background env DBUS_SYSTEM_BUS_ADDRESS="$(head -n 1 "$work/system-bus")" XDG_SESSION_TYPE=wayland \
    XDG_CURRENT_DESKTOP=GNOME NO_AT_BRIDGE=1 gnome-shell --headless --wayland --virtual-monitor 1280x800 \
    --wayland-display pavo >"$work/shell.log" 2>&1
  shell=$!
  export WAYLAND_DISPLAY=$XDG_RUNTIME_DIR/pavo

  # Up to a minute: a first start reads everything from the disk.
  for _ in $(seq 300); do
    kill -0 "$shell" 2>/dev/null || { echo "GNOME Shell ended:" >&2; tail -n 20 "$work/shell.log" >&2; exit 1; }
    [ "$(bus_call org.freedesktop.DBus /org/freedesktop/DBus org.freedesktop.DBus.NameHasOwner \
      org.osmunda.PavoTest.ShellReady)" = "(true,)" ] && break
    sleep 0.2
  done
  local info
  info=$(bus_call org.gnome.Shell /org/gnome/Shell org.gnome.Shell.Extensions.GetExtensionInfo pavo@osmunda.org)
  grep -q "'state': <1" <<<"$info" || { echo "The shell extension is not enabled: $info" >&2; exit 1; }
  DISPLAY=$(sed -n 's/.*Using public X11 display \(:[0-9]*\),.*/\1/p' "$work/shell.log")
  XAUTHORITY=$(echo "$XDG_RUNTIME_DIR"/.mutter-Xwaylandauth.*)
  if [ -z "$DISPLAY" ] || [ ! -e "$XAUTHORITY" ]; then
    echo "GNOME Shell offers no X11 display:" >&2
    cat "$work/shell.log" >&2
    exit 1
  fi
  export DISPLAY XAUTHORITY
  dbus-update-activation-environment DISPLAY XAUTHORITY WAYLAND_DISPLAY
  write_desktop_commands
}

# bus_call SERVICE PATH INTERFACE.METHOD ARGUMENTS...: the reply on the session bus, empty on failure.
bus_call() {
  gdbus call --session --dest "$1" --object-path "$2" --method "${@:3}" 2>/dev/null || true
}

# What the banner offers: a command that runs others as clients of this shell, as its user, and
# one that takes a picture of its screen.
write_desktop_commands() {
  local name
  {
    echo '#!/usr/bin/env bash'
    for name in HOME XDG_CONFIG_HOME XDG_CACHE_HOME XDG_DATA_HOME XDG_DATA_DIRS XDG_RUNTIME_DIR \
      DBUS_SESSION_BUS_ADDRESS DISPLAY XAUTHORITY WAYLAND_DISPLAY; do
      printf 'export %s=%q\n' "$name" "${!name}"
    done
    echo 'exec "$@"'
  } >"$work/on-desktop"
  # The shell takes pictures only for a caller that owns the name of GNOME's screenshot tool.
  cat >"$work/screenshot" <<'SH'
#!/usr/bin/env bash
file=$(realpath -m "${1:?usage: $0 FILE.png}")
exec "$(dirname "$0")/on-desktop" /usr/bin/python3 - "$file" <<'PY'
import sys
from gi.repository import Gio, GLib
bus = Gio.bus_get_sync(Gio.BusType.SESSION)
bus.call_sync('org.freedesktop.DBus', '/org/freedesktop/DBus', 'org.freedesktop.DBus', 'RequestName',
              GLib.Variant('(su)', ('org.gnome.Screenshot', 4)), None, Gio.DBusCallFlags.NONE, -1, None)
taken, _ = bus.call_sync('org.gnome.Shell.Screenshot', '/org/gnome/Shell/Screenshot', 'org.gnome.Shell.Screenshot',
                         'Screenshot', GLib.Variant('(bbs)', (False, False, sys.argv[1])), None,
                         Gio.DBusCallFlags.NONE, 10000, None).unpack()
sys.exit(0 if taken else 1)
PY
SH
  chmod +x "$work/on-desktop" "$work/screenshot"
}

if [ "$desktop" = standin ]; then
  start Xvfb "$work/display" Xvfb -displayfd 1 -nolisten tcp -screen 0 1280x800x24
  export DISPLAY=:$(head -n 1 "$work/display")
fi
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

if [ "$desktop" = gnome-shell ]; then
  start_gnome_shell
else
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
fi
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
where="the virtual display $DISPLAY"
[ "$desktop" = standin ] || where="a headless GNOME Shell (its X11 display $DISPLAY)"
cat >"$home/listening" <<TEXT
Pavo Server is running on $where and listens on $(hostname):$port
(ws://127.0.0.1:$port/?i=<device id>). $discovery
TEXT
cat "$home/listening"
if [ "$desktop" = gnome-shell ]; then
  cat <<TEXT
Pair a device: connect it, then answer the prompt with
  $work/on-desktop tools/answer-prompt.sh $DISPLAY authorize
Start an application on this desktop, for example Qt Designer ("Qt 5 Designer" in a client's list):
  $work/on-desktop /usr/lib/qt5/bin/designer
See the screen:
  $work/screenshot screen.png
A client's shut down, restart or log out reaches this shell only, which has a system bus of its own.
Stop with Ctrl-C.
TEXT
else
  cat <<TEXT
Pair a device: connect it, then answer the prompt with
  tools/answer-prompt.sh $DISPLAY authorize
See the display:
  tools/screenshot.sh $DISPLAY screen.png
Stop with Ctrl-C.
TEXT
fi
wait "$server"
