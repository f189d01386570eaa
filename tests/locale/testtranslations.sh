#!/bin/bash
# The committed translations are current (no text new or gone since the last update), complete,
# and compile without a complaint.
# usage: testtranslations.sh <source folder> <lupdate> <lrelease>
set -uo pipefail
source_dir=$1
export LUPDATE=$2
lrelease=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$source_dir"/locale/*.ts "$work"/
failed=0

output=$(bash "$source_dir/locale/update-translations.sh" "$work" 2>&1) || failed=1
[[ -z $output ]] || { echo "lupdate: $output"; failed=1; }
for ts in "$source_dir"/locale/*.ts; do
    diff -u "$ts" "$work/$(basename "$ts")" || { echo "$(basename "$ts") is not current: run the update-translations target"; failed=1; }
done
if grep -n -e 'type="unfinished"' -e '<translation></translation>' -e '<numerusform></numerusform>' "$work"/*.ts; then
    echo "unfinished translations"
    failed=1
fi

output=$("$lrelease" -silent "$work"/*.ts 2>&1) || failed=1
[[ -z $output ]] || { echo "lrelease: $output"; failed=1; }
exit $failed
