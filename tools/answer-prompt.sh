#!/usr/bin/env bash
# answer-prompt.sh DISPLAY [authorize|deny] [SECONDS]
# Answers the pairing prompt of a Pavo Server running on that X display (the virtual one of
# tools/run.sh, say): Return chooses "Authorize", Escape closes it, which denies. Waits up to
# SECONDS (10) for the prompt to open and as long again for it to close; fails when either does not.
set -euo pipefail
usage="usage: $0 DISPLAY [authorize|deny] [SECONDS]"
export DISPLAY=${1:?$usage}
case "${2:-authorize}" in
  authorize) key=Return ;;
  deny) key=Escape ;;
  *) echo "$usage" >&2; exit 2 ;;
esac
seconds=${3:-10}
xdpyinfo >/dev/null 2>&1 || { echo "Cannot open the display $DISPLAY" >&2; exit 1; }

# The prompt is a message box without a title of its own; the program's dialogs offer a context-help
# button, and the welcome has a title. The newest one wins: a client's window ids grow.
prompt() {
  local window properties found=
  for window in $(xdotool search --onlyvisible --classname '^pavo-server$' 2>/dev/null); do
    properties=$(xprop -id "$window" -notype WM_NAME WM_PROTOCOLS 2>/dev/null) || continue
    grep -Eqx 'WM_NAME = ("")?' <<<"$properties" || continue
    grep -q '_NET_WM_CONTEXT_HELP' <<<"$properties" && continue
    if [ -z "$found" ] || [ "$window" -gt "$found" ]; then found=$window; fi
  done
  [ -n "$found" ] && echo "$found"
}

# within SECONDS COMMAND...: true once COMMAND succeeds, false when the time is up first.
within() {
  local deadline=$((SECONDS + $1))
  shift
  until "$@"; do
    [ "$SECONDS" -lt "$deadline" ] || return 1
    sleep 0.2
  done
}

window=
find_prompt() { window=$(prompt); }
within "$seconds" find_prompt || {
  echo "No pairing prompt of Pavo Server opened on $DISPLAY within $seconds s" >&2
  exit 1
}
xdotool windowfocus --sync "$window"
xdotool key "$key"
gone() { ! xdotool search --onlyvisible --classname '^pavo-server$' 2>/dev/null | grep -qx "$window"; }
within "$seconds" gone || {
  echo "The pairing prompt on $DISPLAY did not close" >&2
  exit 1
}
