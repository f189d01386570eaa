#!/usr/bin/env bash
# Draws the tray menu, the pairing prompt and the three dialogs on a virtual display into
# docs/screenshots, as the README shows them.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j2 --target pavo-screenshots
mkdir -p docs/screenshots
# No system bus: the pictures need no publication on the network.
DBUS_SYSTEM_BUS_ADDRESS=unix:path=/nonexistent QT_QPA_PLATFORM=xcb xvfb-run -a -s "-screen 0 1280x800x24" \
  dbus-run-session -- build/tools/screenshots/pavo-screenshots "$PWD/docs/screenshots"
ls docs/screenshots
