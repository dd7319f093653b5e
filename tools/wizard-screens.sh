#!/usr/bin/env bash
# Renders every page of the wizard (offscreen, 640x480) and its dialogs to
# PNG files.
# usage: tools/wizard-screens.sh [FOLDER] [BUILD_DIR]
#   FOLDER defaults to wizard-screens/ at the top of the clone; BUILD_DIR to
#   build/ there. Builds dmwwiz_screens when needed.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
folder=${1:-$root/wizard-screens}
build=${2:-$root/build}
cmake --build "$build" --target dmwwiz_screens dmwwiz -j "${DMW_JOBS:-1}" >/dev/null
mkdir -p "$folder"
QT_QPA_PLATFORM=offscreen ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=0} \
  "$build/wizard/dmwwiz_screens" "$folder" "$build/wizard/dmwwiz-help"
echo "wizard-screens.sh: pages and dialogs written to $folder"
