#!/bin/bash
# Brings the .ts files of a folder (default: this one) in line with the texts in the sources: new
# texts come in unfinished, texts no longer used go. English keeps only its plural forms, since
# the sources say "(s)". LUPDATE names the Qt 5 lupdate when the one on the PATH is not it.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
folder=$(realpath "${1:-$root/locale}")
lupdate=${LUPDATE:-lupdate}
sources=(app handlers http platform server ui updater)

translations=()
for ts in "$folder"/*.ts; do
    [[ $(basename "$ts") == en.ts ]] || translations+=("$ts")
done
# Run from the top so that the sources' includes resolve: without them lupdate loses the
# namespaces of the class contexts.
cd "$root"
"$lupdate" -silent -I . -no-obsolete -locations none "${sources[@]}" -ts "${translations[@]}"
"$lupdate" -silent -I . -no-obsolete -locations none -pluralonly "${sources[@]}" -ts "$folder/en.ts"
