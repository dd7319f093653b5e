#!/usr/bin/env bash
# The crash campaign: dmwagent is killed with SIGKILL at POINTS random points
# (counted in bytes written) of runs in each mode, and every destination it
# leaves must pass `jetutil check` and be either byte for byte the file
# before the run or what a finished run makes of it.
# usage: tools/crash-campaign.sh [POINTS] [FORMAT]   defaults: 200 points, 1 (Access 2000; 0: Access 95/97)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
points=${1:-200}
format=${2:-1}
build=${DMW_CRASH_BUILD:-$root/build-crash}
jobs=${DMW_JOBS:-$(nproc)}

cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DDMW_TESTS=OFF >/dev/null
cmake --build "$build" -j "$jobs" --target dmwagent jetutil ocilite ocilite_cli crash_campaign >/dev/null
seed=${DMW_CRASH_SEED:-$RANDOM}
echo "crash campaign: $points points a mode, format $format, seed $seed"
"$build/tools/crash/crash_campaign" --agent "$build/agent/dmwagent" --jetutil "$build/jet/jetutil" \
  --ocilite-tool "$build/ocilite/ocilite" --ocilite-library "$build/ocilite/libocilite.so" \
  --work "$build/crash-work" --points "$points" --format "$format" --seed "$seed"
