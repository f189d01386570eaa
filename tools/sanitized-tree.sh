# Sourced by run-sanitized-tests.sh and run-fuzzers.sh (which set $root): configures the one
# instrumented tree both build in and sets $build to it. Configured alike by both, it is built once.
build=${PAVO_FUZZ_BUILD:-$root/build-fuzz}
CC=clang-14 CXX=clang++-14 cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPAVO_FUZZ=ON >/dev/null
