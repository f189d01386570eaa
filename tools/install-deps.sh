#!/usr/bin/env bash
# Installs every Debian 12 package the build, the tests and the benchmarks need.
# Idempotent: when everything is present it only runs dpkg-query and exits.
set -euo pipefail

packages=(
  build-essential cmake pkg-config
  qtbase5-dev qtbase5-dev-tools libqt5websockets5-dev libqt5svg5-dev qttools5-dev qttools5-dev-tools
  libssl-dev openssl
  libavahi-client-dev avahi-daemon avahi-utils
  dbus dbus-x11 xvfb xauth xdotool x11-apps x11-utils netpbm iproute2
  librsvg2-bin libqrencode-dev zbar-tools
  dpkg-dev lintian desktop-file-utils appstream man-db xdg-utils
  locales
  clang-14 libclang-rt-14-dev
  gnome-shell xwayland gjs python3-gi gir1.2-gtk-3.0 pulseaudio
  nodejs
  # The browser test: the browser, a font for its pictures, the bus that reads the prompt.
  chromium fonts-dejavu-core at-spi2-core
)

# The listing benchmark compares with ls under a language's collation.
ensure_english_locale() {
  locale -a 2>/dev/null | grep -qi '^en_US.utf8$' && return 0
  "${as_root[@]}" sed -i 's/^# *en_US.UTF-8 UTF-8/en_US.UTF-8 UTF-8/' /etc/locale.gen
  "${as_root[@]}" locale-gen >/dev/null
}

as_root=()
[ "$(id -u)" -eq 0 ] || as_root=(sudo)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
# Some nodejs builds carry npm inside; Debian's own ships it apart.
command -v npm >/dev/null || missing+=(npm)
if [ ${#missing[@]} -gt 0 ]; then
  export DEBIAN_FRONTEND=noninteractive
  "${as_root[@]}" apt-get update -qq
  "${as_root[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
ensure_english_locale
