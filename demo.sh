#!/usr/bin/env bash
# The main job on the embedded default: installs what the build needs (when
# missing and run as root), builds a release tree, and converts the sample
# Oracle schema served by ocilite (service DEMO, user SCOTT, password tiger)
# into an Access 2000 file.
set -euo pipefail
cd "$(dirname "$0")"
root=$(pwd)
build=${DMW_BUILD_DIR:-$root/build-release}
jobs=${DMW_JOBS:-$(nproc)}
out=${DMW_DEMO_DEST:-$root/demo-output/demo.mdb}

"$root/tools/ensure-packages.sh" demo.sh demo

cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DDMW_TESTS=OFF >/dev/null
cmake --build "$build" -j "$jobs" --target dmwagent jetutil ocilite ocilite_cli ocilite_demo

mkdir -p "$(dirname "$out")"
echo
echo "Converting the sample schema into $out"
DMW_OCI_LIBRARY="$build/ocilite/libocilite.so" OCILITE_HOME="$build/demo-home" \
  "$build/agent/dmwagent" --src=DEMO --oraclu=SCOTT --oraclp=tiger --dest="$out" --acc_ver=1 --mode=0

cat <<EOT

The Access 2000 file is $out
Look at it with:
  mdb-tables -1 '$out'                  # its tables
  mdb-schema '$out' mysql               # columns and indexes
  mdb-export '$out' EMPLOYEES           # the rows of a table, as CSV
  '$build/jet/jetutil' tables '$out'    # its tables, in catalog order
  '$build/jet/jetutil' export '$out' EMPLOYEES   # the rows of a table, as CSV
  '$build/jet/jetutil' dump '$out' --no-system   # everything, as JSON
  '$build/jet/jetutil' check '$out'     # consistency of rows and indexes
EOT
