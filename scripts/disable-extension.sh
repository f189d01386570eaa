#!/bin/bash
# Switches the Pavo shell extension off for this user.
source "$(dirname "$0")/extension-common.sh"
gnome-extensions disable "$EXTENSION_UUID" || fail "cannot disable $EXTENSION_UUID"
