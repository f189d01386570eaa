#!/usr/bin/env bash
# screenshot.sh DISPLAY FILE.png: the whole X display as a PNG.
# Read from the screen as the X server holds it. xwd -root puts its picture together window by window
# instead, and there a dialog opened over another of the program's windows came out black, or was
# missing under a compositing manager, although the screen showed it.
set -euo pipefail
[ $# -eq 2 ] || { echo "usage: $0 DISPLAY FILE.png" >&2; exit 2; }
DISPLAY=$1 GDK_BACKEND=x11 /usr/bin/python3 - "$1" "$2" <<'PYTHON'
import sys

import gi

gi.require_version("Gdk", "3.0")
from gi.repository import Gdk

if Gdk.Display.get_default() is None:
    sys.exit(f"Cannot open the display {sys.argv[1]}")
screen = Gdk.get_default_root_window()
image = Gdk.pixbuf_get_from_window(screen, 0, 0, screen.get_width(), screen.get_height())
image.savev(sys.argv[2], "png", [], [])
PYTHON
