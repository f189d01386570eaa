#!/usr/bin/env bash
# Installs every Debian 12 package the build, the tests and the benchmarks need.
# Idempotent: when everything is present it only runs dpkg-query and exits.
set -euo pipefail

packages=(
  build-essential cmake pkg-config
  qtbase5-dev qtbase5-dev-tools libqt5websockets5-dev libqt5svg5-dev qttools5-dev qttools5-dev-tools
  libssl-dev openssl
  libavahi-client-dev avahi-daemon avahi-utils
  dbus dbus-x11 xvfb xauth
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

as_root=()
[ "$(id -u)" -eq 0 ] || as_root=(sudo)
export DEBIAN_FRONTEND=noninteractive
"${as_root[@]}" apt-get update -qq
"${as_root[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
