#!/bin/sh
# Runs the unit tests with the locked packages installed.
set -e
cd "$(dirname "$0")/.."
tools/install-packages.sh
exec node --test test/*.test.js
