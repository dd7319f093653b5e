#!/usr/bin/env bash
# The optional third command: installs what the build needs (when missing and
# run as root), builds a release tree and makes the Debian package
# build-release/dunmarrow_<version>_<arch>.deb. Install it with
#   apt-get install ./build-release/dunmarrow_*.deb
# and check an installed round trip with tools/package-check.sh (as root).
set -euo pipefail
cd "$(dirname "$0")"
root=$(pwd)
build=${DMW_BUILD_DIR:-$root/build-release}
jobs=${DMW_JOBS:-$(nproc)}

"$root/tools/ensure-packages.sh" package.sh demo

cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DDMW_TESTS=OFF >/dev/null
cmake --build "$build" -j "$jobs" --target package
deb=$(ls -t "$build"/dunmarrow_*.deb | head -n1)
cat <<EOT

The package is $deb
Install it, read the manual and convert the sample schema with:
  apt-get install '$deb'
  man dmwagent
  tools/package-check.sh '$deb'      # as root: install, convert, check, remove
EOT
