#!/usr/bin/env bash
# release.sh [--build DIR] PRIVATE-KEY OUT [VERSION]
# Makes the Debian package from the built tree (build/, or DIR), checks it with lintian, signs it
# with the release key and lays out in OUT what the vendor's web service publishes:
#   OUT/release.xml             the feed entry that offers the package, for <web service>/release.xml
#   OUT/files/pavo/<name>.deb   the package, for https://<PAVO_DOWNLOAD_HOST>/files/pavo/
#   OUT/screenshots/            the pictures the AppStream file names, for <PAVO_PRODUCT_URL>/screenshots/
# The package trusts the key that signs it. VERSION is the package's version when it is not the
# tree's own: a test release, since the program inside still reports the tree's version.
set -euo pipefail
cd "$(dirname "$0")/.."

usage() {
  sed -n '2,10p' "$0" | sed 's/^# \{0,1\}//' >&2
  exit 2
}

build=build
if [ "${1:-}" = --build ]; then
  [ $# -ge 2 ] || usage
  build=$2
  shift 2
fi
[ $# -eq 2 ] || [ $# -eq 3 ] || usage
key=$1 out=$2 version=${3:-}
[ -f "$build/CPackConfig.cmake" ] || { echo "No configured build in $build" >&2; exit 1; }

host=$(sed -n 's/^PAVO_DOWNLOAD_HOST:STRING=//p' "$build/CMakeCache.txt")
public_key=$(tools/sign-release.sh --public-key "$key")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

cpack=(cpack --config "$build/CPackConfig.cmake" -B "$work" -D "PAVO_RELEASE_PUBLIC_KEY=$public_key")
[ -z "$version" ] || cpack+=(-R "$version")
"${cpack[@]}" >"$work/cpack.log" 2>&1 || { cat "$work/cpack.log" >&2; exit 1; }
package=$(echo "$work"/*.deb)
name=$(basename "$package")
lintian --fail-on error,warning "$package" 2>&1 | grep -v '^running with root privileges' >&2 || {
  [ "${PIPESTATUS[0]}" -eq 0 ] || { echo "lintian finds fault with $name" >&2; exit 1; }
}

mkdir -p "$out/files/pavo" "$out/screenshots"
mv "$package" "$out/files/pavo/$name"
cp docs/screenshots/*.png "$out/screenshots/"
cat >"$out/release.xml" <<XML
<release>
  <version>$(dpkg-deb -f "$out/files/pavo/$name" Version)</version>
  <url>https://$host/files/pavo/$name</url>
  <signature>$(tools/sign-release.sh "$key" "$out/files/pavo/$name")</signature>
</release>
XML
echo "$out/release.xml offers $name"
