#!/usr/bin/env bash
# answer-prompt.sh DISPLAY [authorize|deny]
# Answers the pairing prompt of a Pavo Server running on that X display (the virtual one of
# tools/run.sh, say): the prompt is the program's newest window; Return chooses "Authorize",
# Escape closes it, which denies.
set -euo pipefail
export DISPLAY=${1:?usage: $0 DISPLAY [authorize|deny]}
case "${2:-authorize}" in
  authorize) key=Return ;;
  deny) key=Escape ;;
  *) echo "usage: $0 DISPLAY [authorize|deny]" >&2; exit 2 ;;
esac
window=$(xdotool search --sync --onlyvisible --classname pavo-server | tail -n 1)
xdotool windowfocus --sync "$window"
xdotool key "$key"
