#!/usr/bin/env bash
# Builds the fuzz targets in build-fuzz/ with clang-14 and runs each for PAVO_FUZZ_SECONDS
# (default 60) from its seed corpus in fuzz/corpus/. Fails on the first crash, sanitizer report,
# leak, hang (1 s) or input that takes over 100 ms of CPU time (the targets abort on those); the
# offending input is left in build-fuzz/artifacts/. New corpus entries go to build-fuzz/corpus/,
# never into the seeds. Names given on the command line (e.g. plain-message) run only those.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${PAVO_FUZZ_BUILD:-$root/build-fuzz}
seconds=${PAVO_FUZZ_SECONDS:-60}
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(plain-message encrypted-message session-decrypt appcast simple-feed)

CC=clang-14 CXX=clang++-14 cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPAVO_FUZZ=ON >/dev/null
cmake --build "$build" -j2 --target "${targets[@]/#/fuzz-}"

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export LSAN_OPTIONS=suppressions=$root/tools/lsan-suppressions.txt:print_suppressions=0
# The temporary HOME goes to memory: the guard is to time the program, not the disk's syncs.
[ -w /dev/shm ] && export TMPDIR=/dev/shm
mkdir -p "$build/artifacts"
for target in "${targets[@]}"; do
  work="$build/corpus/$target"
  mkdir -p "$work"
  echo "== fuzz-$target: $seconds s"
  "$build/fuzz/fuzz-$target" "$work" "$root/fuzz/corpus/$target" \
    -max_total_time="$seconds" -timeout=1 -rss_limit_mb=2048 -max_len=8192 \
    -artifact_prefix="$build/artifacts/$target-" -print_final_stats=1 2>"$build/fuzz-$target.log" || {
      tail -n 60 "$build/fuzz-$target.log"
      echo "fuzz-$target failed; log: $build/fuzz-$target.log" >&2
      exit 1
    }
  grep -E '^stat::number_of_executed_units|^stat::peak_rss_mb' "$build/fuzz-$target.log" | sed 's/^/  /'
done
