#!/usr/bin/env bash
# sign-release.sh PRIVATE-KEY FILE     prints the base64 Ed25519 signature of FILE for the feed
# sign-release.sh --public-key PRIVATE-KEY
#                                      prints the public key, as PAVO_UPDATE_PUBLIC_KEY takes it
# A new key pair: openssl genpkey -algorithm ed25519 -out release-key.pem (keep it off the tree).
set -euo pipefail

usage() {
  sed -n '2,5p' "$0" | sed 's/^# \{0,1\}//' >&2
  exit 2
}

if [ "${1:-}" = --public-key ]; then
  [ $# -eq 2 ] || usage
  # The DER form ends in the 32 bytes of the raw key.
  openssl pkey -in "$2" -pubout -outform DER | tail -c 32 | base64 -w 0
  echo
  exit 0
fi

[ $# -eq 2 ] || usage
[ -f "$2" ] || { echo "No such file: $2" >&2; exit 1; }
openssl pkeyutl -sign -rawin -inkey "$1" -in "$2" | base64 -w 0
echo
