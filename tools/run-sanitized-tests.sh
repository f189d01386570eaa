#!/usr/bin/env bash
# Builds the test suites with AddressSanitizer and UndefinedBehaviorSanitizer in build-fuzz/ and
# runs them there; any sanitizer report fails the suite that produced it. The tree is the fuzz
# targets' own (clang-14, tools/run-fuzzers.sh), so that the libraries are instrumented only once.
# The suites that start their own avahi-daemon in a network namespace are left out unless
# PAVO_SANITIZE_ALL=1: under ASan they only slow the run, the daemon itself is not instrumented.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
source "$root/tools/sanitized-tree.sh"
# Only the suites: the vptr checks make the server library need the handlers' type information,
# which the link lines of some benchmarks do not provide. Tests that run a script build nothing.
mapfile -t suites < <(comm -12 <(ctest --test-dir "$build" -N | sed -n 's/^ *Test *#[0-9]*: //p' | sort) \
  <(cmake --build "$build" --target help | sed -n 's/^\.\.\. \([^ ]*\).*/\1/p' | sort))
cmake --build "$build" -j2 --target "${suites[@]}"

# Full stacks on allocation, so that the suppressions can name the library that leaked. Strict
# string checks read a strndup argument up to its terminator, which it need not have: libxkbcommon
# passes such buffers when the program starts on an X display, so strndup is left unchecked.
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:strict_string_checks=1:intercept_strndup=0:detect_stack_use_after_return=1:fast_unwind_on_malloc=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export LSAN_OPTIONS=suppressions=$root/tools/lsan-suppressions.txt:print_suppressions=0

# The first-run suite builds and runs its own copy of the tree, uninstrumented: here it would only
# cost its minutes a second time. The package suite packs and installs what a user gets, which an
# instrumented build is not.
# The browser remote's suites test JavaScript, which the sanitizers do not see.
exclude=(-E 'firstrun|package|web|browser')
[ "${PAVO_SANITIZE_ALL:-0}" = 1 ] || exclude=(-E 'firstrun|package|web|browser|zeroconf|discovery')
ctest --test-dir "$build" --output-on-failure "${exclude[@]}"
