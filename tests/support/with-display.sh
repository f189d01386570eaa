#!/usr/bin/env bash
# with-display.sh PROGRAM [ARGS...]
# Runs PROGRAM with the xcb platform on a virtual X display of its own (Xvfb), which has no tray.
set -euo pipefail
coproc display { exec Xvfb -displayfd 1 -nolisten tcp -screen 0 1280x800x24 2>/dev/null; }
trap 'kill "$display_PID"; wait "$display_PID" || true' EXIT
read -r number <&"${display[0]}"
DISPLAY=:$number QT_QPA_PLATFORM=xcb "$@"
