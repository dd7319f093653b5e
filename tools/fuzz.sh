#!/usr/bin/env bash
# Long fuzzing runs with libFuzzer: builds the harnesses of tests/fuzz with
# clang (AddressSanitizer, UndefinedBehaviorSanitizer) in their own build
# folder, then runs each for the given time over its seeds.
# usage: tools/fuzz.sh [all|jet_reader|profile|table_names|script] [seconds]
# Environment: DMW_FUZZ_BUILD_DIR (default build-fuzz), DMW_FUZZ_OUT (default
# fuzz-out: the growing corpora, crashes/<target>/ and the logs), DMW_JOBS.
# Exits 1 when any target found a crash; its inputs are under crashes/<target>/.
# A crash is made small with `build-fuzz/tests/fuzz/fuzz_<target> -minimize_crash=1
# -max_total_time=60 CRASH`, and the small input, once the fault is fixed, goes
# to tests/fuzz/regressions/<target>/, which the suite's fuzz tests replay first.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
target=${1:-all}
seconds=${2:-300}
build=${DMW_FUZZ_BUILD_DIR:-$root/build-fuzz}
out=${DMW_FUZZ_OUT:-$root/fuzz-out}
jobs=${DMW_JOBS:-1}
shared=$root/../shared/testdata/access

case $target in
  all) targets=(jet_reader profile table_names script) ;;
  jet_reader|profile|table_names|script) targets=("$target") ;;
  *) echo "usage: $0 [all|jet_reader|profile|table_names|script] [seconds]" >&2; exit 2 ;;
esac

cxx=${CXX_FUZZ:-$(command -v clang++ || command -v clang++-14 || true)}
cc=${CC_FUZZ:-$(command -v clang || command -v clang-14 || true)}
[ -n "$cxx" ] && [ -n "$cc" ] || { echo "fuzz.sh: clang is needed for libFuzzer" >&2; exit 2; }

cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER="$cxx" \
  -DCMAKE_C_COMPILER="$cc" -DDMW_FUZZ=ON -DDMW_TESTS=OFF >/dev/null
build_targets=()
for t in "${targets[@]}"; do build_targets+=("fuzz_$t"); done
[[ " ${targets[*]} " == *" jet_reader "* ]] && build_targets+=(fuzz_jet_seeds)
cmake --build "$build" -j "$jobs" --target "${build_targets[@]}" >"$build/fuzz-build.log" 2>&1 ||
  { cat "$build/fuzz-build.log" >&2; exit 2; }

# Sanitizer reports end the run; a leak is a finding as well.
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1:symbolize=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
failed=0
for t in "${targets[@]}"; do
  corpus=$out/corpus/$t
  crashes=$out/crashes/$t
  mkdir -p "$corpus" "$crashes"
  # The first folder grows; the seeds are read only.
  seeds=("$root/tests/fuzz/seeds/$t")
  extra=()
  case $t in
    jet_reader)
      seeds=("$out/jet-seeds")
      "$build/tests/fuzz/fuzz_jet_seeds" "$out/jet-seeds"
      for v in jet3 jet4 ace; do [ -d "$shared/$v" ] && seeds+=("$shared/$v"); done
      extra=(-max_len=1048576 -timeout=30 -rss_limit_mb=4096) ;;
    script)
      seeds+=("$root/ocilite/sample")
      extra=(-max_len=65536 -timeout=20) ;;
    *)
      extra=(-max_len=16384 -timeout=10) ;;
  esac
  [ -d "$root/tests/fuzz/regressions/$t" ] && seeds+=("$root/tests/fuzz/regressions/$t")
  echo "fuzz.sh: $t for $seconds s; crashes go to $crashes"
  # Temporary files of the harnesses in memory when /dev/shm is there.
  tmp=${TMPDIR:-/tmp}
  [ -d /dev/shm ] && [ -w /dev/shm ] && tmp=/dev/shm
  status=0
  TMPDIR=$tmp "$build/tests/fuzz/fuzz_$t" -max_total_time="$seconds" -print_final_stats=1 \
    -artifact_prefix="$crashes/" "${extra[@]}" "$corpus" "${seeds[@]}" >"$out/$t.log" 2>&1 || status=$?
  grep -E '^(#[0-9]+[[:space:]]+(INITED|DONE)|stat::number_of_executed_units|stat::average_exec_per_sec|SUMMARY|==[0-9]+==ERROR)' \
    "$out/$t.log" || true
  if [ "$status" -ne 0 ] || [ -n "$(ls -A "$crashes")" ]; then
    echo "fuzz.sh: $t found a fault: see $out/$t.log and $crashes" >&2
    failed=1
  fi
done
exit $failed
