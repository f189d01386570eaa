#!/bin/sh
# Installs the locked npm packages when they are missing or the lock changed since the last time.
set -e
cd "$(dirname "$0")/.."
stamp=node_modules/.installed-package-lock.json
if ! cmp -s package-lock.json "$stamp"; then
  npm ci --prefer-offline --no-audit --no-fund
  cp package-lock.json "$stamp"
fi
