#!/usr/bin/env bash
# answer-prompt.sh DISPLAY [authorize|deny] [SECONDS]
# Answers the pairing prompt of a Pavo Server running on that X display (the virtual one of
# tools/run.sh, say). "Deny" has the keyboard and answers Return and Escape, so authorizing moves the
# focus on to "Authorize" and presses that button; denying presses Escape. Waits up to SECONDS (10)
# for the prompt to open and as long again for it to close; fails when either does not.
set -euo pipefail
usage="usage: $0 DISPLAY [authorize|deny] [SECONDS]"
export DISPLAY=${1:?$usage}
case "${2:-authorize}" in
  authorize) keys=(Tab space) ;;
  deny) keys=(Escape) ;;
  *) echo "$usage" >&2; exit 2 ;;
esac
seconds=${3:-10}
xdpyinfo >/dev/null 2>&1 || { echo "Cannot open the display $DISPLAY" >&2; exit 1; }

# The prompt carries its window role. The newest one wins: a client's window ids grow.
prompt() {
  local window found=
  for window in $(xdotool search --onlyvisible --classname '^pavo-server$' 2>/dev/null); do
    [ "$(xprop -id "$window" -notype WM_WINDOW_ROLE 2>/dev/null)" = 'WM_WINDOW_ROLE = "pairing-prompt"' ] || continue
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
xdotool key "${keys[@]}"
gone() { ! xdotool search --onlyvisible --classname '^pavo-server$' 2>/dev/null | grep -qx "$window"; }
within "$seconds" gone || {
  echo "The pairing prompt on $DISPLAY did not close" >&2
  exit 1
}
