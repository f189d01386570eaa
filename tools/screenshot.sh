#!/usr/bin/env bash
# screenshot.sh DISPLAY FILE.png: the whole X display as a PNG.
set -euo pipefail
[ $# -eq 2 ] || { echo "usage: $0 DISPLAY FILE.png" >&2; exit 2; }
xwd -root -silent -display "$1" | xwdtopnm 2>/dev/null | pnmtopng >"$2"
