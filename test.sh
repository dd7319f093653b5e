#!/usr/bin/env bash
# The one test command: installs what the build needs (when missing and run
# as root), builds everything with AddressSanitizer and UndefinedBehaviorSanitizer,
# and runs every test through ctest. Exits non-zero on any failure.
set -euo pipefail
cd "$(dirname "$0")"
root=$(pwd)
build=${DMW_BUILD_DIR:-$root/build-test}
jobs=${DMW_JOBS:-$(nproc)}

# Debian packages: the build, the tests, and the independent .mdb readers.
packages=(cmake g++ make pkg-config libgtest-dev libgmock-dev libsqlite3-dev sqlite3 mdbtools)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
# Node.js may come from another packaging that bundles npm: look for the commands.
command -v node >/dev/null || missing+=(nodejs)
command -v npm >/dev/null || missing+=(npm)
if [ ${#missing[@]} -gt 0 ]; then
  if [ "$(id -u)" -eq 0 ]; then
    echo "test.sh: installing ${missing[*]}"
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
  else
    echo "test.sh: missing packages: ${missing[*]} (run as root to install them)" >&2
    exit 1
  fi
fi

# npm packages used by the tests as independent readers (mdb-reader).
if [ -f tools/readers/package.json ] && [ ! -d tools/readers/node_modules ]; then
  (cd tools/readers && npm ci --silent --no-audit --no-fund)
fi

cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Debug -DDMW_SANITIZE=ON -DDMW_TESTS=ON >/dev/null
cmake --build "$build" -j "$jobs"
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=0}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
cd "$build"
ctest --output-on-failure -j "$jobs" --timeout 900
