#!/bin/bash
# Switches the Pavo shell extension on for this user.
source "$(dirname "$0")/extension-common.sh"
gnome-extensions enable "$EXTENSION_UUID" || fail "cannot enable $EXTENSION_UUID"
