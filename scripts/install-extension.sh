#!/bin/bash
# Installs a downloaded Pavo shell extension archive for this user, replacing an older one:
# install-extension.sh <archive.zip>
source "$(dirname "$0")/extension-common.sh"
[ $# -eq 1 ] || fail "usage: $(basename "$0") <extension archive>"
[ -f "$1" ] && [ -r "$1" ] || fail "cannot read the extension archive $1"
gnome-extensions install --force "$1" || fail "cannot install $1"
