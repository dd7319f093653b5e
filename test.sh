#!/usr/bin/env bash
# The one test command: installs what the build needs (when missing and run
# as root), builds everything with AddressSanitizer and UndefinedBehaviorSanitizer,
# and runs every test through ctest. Exits non-zero on any failure.
set -euo pipefail
cd "$(dirname "$0")"
root=$(pwd)
build=${DMW_BUILD_DIR:-$root/build-test}
jobs=${DMW_JOBS:-$(nproc)}

# Debian and npm packages: the build, the tests, and the independent .mdb readers.
"$root/tools/ensure-packages.sh" test.sh test

cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Debug -DDMW_SANITIZE=ON -DDMW_TESTS=ON >/dev/null
cmake --build "$build" -j "$jobs"
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=0}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
cd "$build"
ctest --output-on-failure -j "$jobs" --timeout 900
