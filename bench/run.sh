#!/usr/bin/env bash
# Benchmark: one table of ROWS rows and 10 columns (numbers, text, dates and a
# Memo) served by ocilite, converted by dmwagent into an Access 2000 file and
# into an Access 95/97 file. Reports the agent's rows per second for each
# format (and the Access 97 rate as a share of the Access 2000 one) with the
# larger peak memory of the two, and, in the same run, the rate at which
# SQLite ingests the same rows in one transaction.
# usage: bench/run.sh [ROWS...]       default 1000000; several counts run in turn
# DMW_BENCH_KEEP=1 reuses an ocilite home loaded by an earlier run (loading a
# million rows through ocilite takes far longer than converting them).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
build=${DMW_BENCH_BUILD:-$root/build-bench}
work=${DMW_BENCH_DIR:-$build/bench-work}
jobs=${DMW_JOBS:-$(nproc)}
[ $# -gt 0 ] || set -- 1000000
[ -x /usr/bin/time ] || { echo "bench/run.sh: needs /usr/bin/time (Debian package time)" >&2; exit 1; }

cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DDMW_TESTS=OFF -DDMW_BENCH=ON >/dev/null
cmake --build "$build" -j "$jobs" --target dmwagent ocilite ocilite_cli bench_sqlite >/dev/null

# The table's rows as Oracle statements; values vary with the row number.
schema() {
  echo "CREATE TABLE BIG (ID NUMBER(9) PRIMARY KEY, QTY NUMBER(4), PRICE NUMBER(10,2), WEIGHT NUMBER,"
  echo "  NAME VARCHAR2(40), CODE CHAR(8), CITY VARCHAR2(30), CREATED DATE, UPDATED TIMESTAMP, NOTE CLOB);"
  awk -v n="$1" 'BEGIN {
    split("Oslo Bergen Zürich Lyon Porto Tromsø Kraków Gent", city, " ");
    for (i = 1; i <= n; i++) {
      d = i % 28 + 1; m = i % 12 + 1; y = 1990 + i % 35;
      printf "INSERT INTO BIG VALUES (%d, %d, %d.%02d, %.6f, %s, %s, %s, DATE %s, TIMESTAMP %s, %s);\n",
        i, i % 10000, i % 100000, i % 100, i / 7.0,
        "'\''item number " i "'\''", "'\''C" sprintf("%07d", i % 10000000) "'\''", "'\''" city[i % 8 + 1] "'\''",
        sprintf("'\''%04d-%02d-%02d'\''", y, m, d),
        sprintf("'\''%04d-%02d-%02d %02d:%02d:%02d'\''", y, m, d, i % 24, i % 60, (i * 7) % 60),
        "'\''Note for row " i ": the quick brown fox jumps over the lazy dog, twice over.'\''";
    }
  }'
}

printf "%10s %10s %10s %12s %10s %12s %8s %12s %10s\n" \
  rows load_s a2000_s a2000_rows/s a97_s a97_rows/s a97/2000 sqlite_rows/s peak_MiB
for rows in "$@"; do
  home=$work/home-$rows
  t0=$(date +%s.%N)
  if [ "${DMW_BENCH_KEEP:-0}" != 1 ] || [ ! -f "$home/.loaded" ]; then
    rm -rf "$home" && mkdir -p "$home"
    schema "$rows" >"$work/big-$rows.sql"
    "$build/ocilite/ocilite" create-user "$home" BENCH SCOTT tiger >/dev/null
    "$build/ocilite/ocilite" run "$home" BENCH SCOTT "$work/big-$rows.sql" >/dev/null
    touch "$home/.loaded"
  fi
  t1=$(date +%s.%N)

  # --acc_ver=1: Access 2000; --acc_ver=0: Access 95/97.
  for format in 1 0; do
    rm -f "$work/big-$rows-$format.mdb"
    DMW_OCI_LIBRARY="$build/ocilite/libocilite.so" OCILITE_HOME="$home" \
      /usr/bin/time -f "%e %M" -o "$work/time-$rows-$format" \
      "$build/agent/dmwagent" --src=BENCH --oraclu=SCOTT --oraclp=tiger --dest="$work/big-$rows-$format.mdb" \
      --acc_ver=$format --silent
  done
  read -r a2000_s peak2000_kib <"$work/time-$rows-1"
  read -r a97_s peak97_kib <"$work/time-$rows-0"

  read -r sqlite_rows sqlite_s < <("$build/bench/bench_sqlite" "$home/BENCH/SCOTT.db" BIG "$work/big-$rows.sqlite")
  [ "$sqlite_rows" -eq "$rows" ] || { echo "bench/run.sh: SQLite read $sqlite_rows rows of $rows" >&2; exit 1; }
  awk -v r="$rows" -v t0="$t0" -v t1="$t1" -v a="$a2000_s" -v b="$a97_s" -v s="$sqlite_s" \
    -v k="$peak2000_kib" -v k97="$peak97_kib" \
    'BEGIN { if (k97 > k) k = k97;
             printf "%10d %10.2f %10.2f %12.0f %10.2f %12.0f %7.0f%% %12.0f %10.1f\n",
                    r, t1 - t0, a, r / a, b, r / b, 100 * a / b, r / s, k / 1024 }'
done
