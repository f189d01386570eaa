# Sourced by the extension scripts: the extension's id (the program's platform/extension.cpp
# names the same one) and the check that the GNOME tools are there.
EXTENSION_UUID=pavo@osmunda.org

fail() {
    echo "$(basename "$0"): $*" >&2
    exit 1
}

command -v gnome-extensions >/dev/null 2>&1 ||
    fail "gnome-extensions not found; the GNOME Shell extension needs GNOME Shell"
