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

# The wizard's tests once more under ThreadSanitizer, where its worker threads
# meet the user-interface thread (skipped where Qt is missing).
if [ -x "$build/tests/wizard/test_wizard" ]; then
  tsan_build=${DMW_TSAN_BUILD_DIR:-$root/build-tsan}
  cmake -S "$root" -B "$tsan_build" -DCMAKE_BUILD_TYPE=Debug -DDMW_TSAN=ON -DDMW_TESTS=ON >/dev/null
  cmake --build "$tsan_build" -j "$jobs" --target test_wizard
  cd "$tsan_build/tests/wizard"
  QT_QPA_PLATFORM=offscreen TSAN_OPTIONS="halt_on_error=1 suppressions=$root/tests/wizard/tsan.supp" \
    ./test_wizard --gtest_brief=1
fi
