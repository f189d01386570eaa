#!/bin/sh
# Installs the locked packages when they are missing or the lock changed (never a browser: the test
# drives Debian's chromium), then runs the browser test in namespaces of its own with a virtual
# display: the program's publication and the browser's traffic stay on this machine.
set -e
cd "$(dirname "$0")/../.."
stamp=node_modules/.installed-package-lock.json
if ! cmp -s package-lock.json "$stamp"; then
  PLAYWRIGHT_SKIP_BROWSER_DOWNLOAD=1 npm ci --prefer-offline --no-audit --no-fund
  cp package-lock.json "$stamp"
fi
exec bash ../tests/support/with-avahi.sh bash ../tests/support/with-display.sh node test/browser/remote.test.js
