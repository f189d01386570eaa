#!/usr/bin/env bash
# Builds the fuzz targets in build-fuzz/ with clang-14 and runs each one. Names given on the
# command line (e.g. plain-message) run only those.
#
# By default (CI) every seed in fuzz/corpus/<target>/ is replayed, then PAVO_FUZZ_RUNS (default
# 2000) inputs are explored from them with PAVO_FUZZ_SEED (default 1). The seed fixes the
# mutations, not the path: what the targets cover also varies with addresses and timing, so two
# machines explore apart and a run may find what an earlier one missed. Every finding is a fault.
#
# With PAVO_FUZZ_SECONDS=<n> each target instead explores for n seconds from a random seed and
# keeps what it finds in build-fuzz/corpus/<target>/ for the next run: the open-ended search for
# developers. Copy a finding into fuzz/corpus/<target>/ once it is mended.
#
# Either way a crash, sanitizer report, leak, hang (1 s) or input that takes over 100 ms of user CPU
# time (the targets abort on those) fails the step; the input is left in build-fuzz/artifacts/. A
# slow input that is fast when replayed alone gets its target one more run.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${PAVO_FUZZ_SECONDS:-}
targets=("$@")
[ ${#targets[@]} -gt 0 ] ||
  targets=(plain-message encrypted-message secure-message connection-url request-head session-decrypt appcast simple-feed command-document shell-reply)

source "$root/tools/sanitized-tree.sh"
cmake --build "$build" -j2 --target "${targets[@]/#/fuzz-}"

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export LSAN_OPTIONS=suppressions=$root/tools/lsan-suppressions.txt:print_suppressions=0
# The temporary HOME goes to memory: the guard is to time the program, not the disk's syncs.
[ -w /dev/shm ] && export TMPDIR=/dev/shm
mkdir -p "$build/artifacts"

dictionary() {
  case $1 in
    plain-message | encrypted-message | secure-message) echo "-dict=$root/fuzz/message.dict" ;;
    command-document) echo "-dict=$root/fuzz/commands.dict" ;;
    shell-reply) echo "-dict=$root/fuzz/shell.dict" ;;
  esac
}

# The shell stand-in takes the shell's name: only on a session bus of its own.
launcher() {
  [ "$1" = shell-reply ] && echo "dbus-run-session --"
  true
}

# One run of a target; its log is left in $log.
run_target() {
  local target=$1 seeds="$root/fuzz/corpus/$1" work mode
  if [ -n "$seconds" ]; then
    work="$build/corpus/$target"
    mode=(-max_total_time="$seconds")
    echo "== fuzz-$target: $seconds s"
  else
    work=$(mktemp -d) # new inputs of a short run are thrown away
    mode=(-runs="${PAVO_FUZZ_RUNS:-2000}" -seed="${PAVO_FUZZ_SEED:-1}")
    echo "== fuzz-$target: seeds and ${PAVO_FUZZ_RUNS:-2000} runs from seed ${PAVO_FUZZ_SEED:-1}"
  fi
  mkdir -p "$work"
  # shellcheck disable=SC2046
  $(launcher "$target") "$build/fuzz/fuzz-$target" "$work" "$seeds" "${mode[@]}" $(dictionary "$target") \
    -timeout=1 -rss_limit_mb=2048 -max_len=8192 -artifact_prefix="$build/artifacts/$target-" \
    -print_final_stats=1 2>"$log" || return 1
  [ -n "$seconds" ] || rm -rf "$work"
}

# A slow input that is fast when replayed alone, three times over, was slowed by its moment (a
# busy host, memory handed back to it), not by what it holds: the target then runs once more.
slow_only_in_its_moment() {
  local target=$1 input
  grep -q '^==slow input==' "$log" || return 1
  input=$(ls -t "$build/artifacts/$target-"* 2>/dev/null | head -n 1)
  [ -n "$input" ] || return 1
  for _ in 1 2 3; do
    # shellcheck disable=SC2046
    $(launcher "$target") "$build/fuzz/fuzz-$target" "$input" >/dev/null 2>&1 || return 1
  done
  echo "  a slow input ($(grep -m1 '^==slow input==' "$log")) was fast alone; running fuzz-$target again"
}

for target in "${targets[@]}"; do
  log="$build/fuzz-$target.log"
  run_target "$target" || { slow_only_in_its_moment "$target" && run_target "$target"; } || {
    tail -n 60 "$log"
    echo "fuzz-$target failed; log: $log" >&2
    exit 1
  }
  grep -E '^stat::number_of_executed_units|^stat::peak_rss_mb' "$log" | sed 's/^/  /'
done
