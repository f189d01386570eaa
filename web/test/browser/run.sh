#!/bin/sh
# Runs the browser test with the locked packages installed (playwright-core downloads no browser:
# the test drives Debian's chromium), in namespaces of its own with a virtual display, so that the
# program's publication and the browser's traffic stay on this machine.
set -e
cd "$(dirname "$0")/../.."
PLAYWRIGHT_SKIP_BROWSER_DOWNLOAD=1 tools/install-packages.sh
exec bash ../tests/support/with-avahi.sh bash ../tests/support/with-display.sh node test/browser/remote.test.js
