#!/usr/bin/env bash
# Draws the tray menu, the pairing prompt and the four dialogs on a virtual display into
# docs/screenshots, as the README shows them.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j2 --target pavo-screenshots
cmake --build build -j2 --target pavo-standin-panel
mkdir -p docs/screenshots
# No system bus: the pictures need no publication on the network.
# A panel that shows tray icons, as GNOME's with its tray extension: the welcome then has no
# missing-tray note.
DBUS_SYSTEM_BUS_ADDRESS=unix:path=/nonexistent QT_QPA_PLATFORM=xcb xvfb-run -a -s "-screen 0 1280x800x24" \
  dbus-run-session -- bash -c '
    build/tests/support/pavo-standin-panel &
    until dbus-send --session --print-reply --dest=org.freedesktop.DBus / org.freedesktop.DBus.NameHasOwner \
      string:org.kde.StatusNotifierWatcher 2>/dev/null | grep -q true; do sleep 0.1; done
    build/tools/screenshots/pavo-screenshots "$1"
    kill %1' bash "$PWD/docs/screenshots"
ls docs/screenshots
