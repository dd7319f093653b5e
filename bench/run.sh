#!/usr/bin/env bash
# Benchmark: one table of ROWS rows served by ocilite, converted by dmwagent
# into an Access 2000 file and into an Access 95/97 file, beside SQLite
# ingesting the same rows in one transaction. Reports wall and CPU (user +
# system) seconds of each side, CPU microseconds a row, the agent's speed as a
# share of SQLite's (CPU time; 1.00x is as fast), and the larger peak memory
# of the two conversions.
# usage: bench/run.sh [--shape bench|narrow|wide] [ROWS...]
#   bench   10 columns: numbers, text, dates, a timestamp, a CLOB (the default)
#   narrow  ID and one VARCHAR2(20)
#   wide    40 columns of numbers, text and dates
#   ROWS defaults to 1000000; several counts (3000000, say) run in turn.
# DMW_BENCH_KEEP=1 reuses an ocilite home loaded by an earlier run.
# DMW_BENCH_RUNS=3 runs every side three times and reports the medians.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
build=${DMW_BENCH_BUILD:-$root/build-bench}
work=${DMW_BENCH_DIR:-$build/bench-work}
jobs=${DMW_JOBS:-$(nproc)}
runs=${DMW_BENCH_RUNS:-1}
shape=bench
if [ "${1:-}" = --shape ]; then shape=${2:?--shape needs bench, narrow or wide}; shift 2; fi
case $shape in bench|narrow|wide) ;; *) echo "bench/run.sh: unknown shape $shape" >&2; exit 2;; esac
[ $# -gt 0 ] || set -- 1000000
[ -x /usr/bin/time ] || { echo "bench/run.sh: needs /usr/bin/time (Debian package time)" >&2; exit 1; }

cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DDMW_TESTS=OFF -DDMW_BENCH=ON >/dev/null
cmake --build "$build" -j "$jobs" --target dmwagent ocilite ocilite_cli bench_sqlite >/dev/null
mkdir -p "$work"

# Each shape: the Oracle table, and one Oracle expression a column over the
# row number i. The rows are made by one INSERT ... SELECT over recursive
# WITHs, run by `ocilite run` (so the dictionary and every stored value are
# ocilite's own). Loading is itself an SQLite ingest with Oracle's checks on
# every value, so it takes longer than the conversion it feeds.
table_ddl() {
  case $shape in
    bench)
      echo "CREATE TABLE BIG (ID NUMBER(9) PRIMARY KEY, QTY NUMBER(4), PRICE NUMBER(10,2), WEIGHT NUMBER,"
      echo "  NAME VARCHAR2(40), CODE CHAR(8), CITY VARCHAR2(30), CREATED DATE, UPDATED TIMESTAMP, NOTE CLOB);" ;;
    narrow)
      echo "CREATE TABLE BIG (ID NUMBER(9) PRIMARY KEY, NAME VARCHAR2(20));" ;;
    wide)
      printf "CREATE TABLE BIG (ID NUMBER(9) PRIMARY KEY"
      for c in $(seq 1 39); do
        case $((c % 4)) in
          0) printf ", N%02d NUMBER(9)" "$c" ;;
          1) printf ", A%02d NUMBER(12,2)" "$c" ;;
          2) printf ", T%02d VARCHAR2(30)" "$c" ;;
          3) printf ", D%02d DATE" "$c" ;;
        esac
      done
      echo ");" ;;
  esac
}
row_values() {
  local date="TO_DATE((1990 + MOD(i, 35)) || '-' || (MOD(i, 12) + 1) || '-' || (MOD(i, 28) + 1), 'YYYY-MM-DD')"
  case $shape in
    bench)
      echo "i, MOD(i, 10000), MOD(i, 100000) + MOD(i, 100) / 100, ROUND(i / 7, 6), 'item number ' || i,"
      echo "  'C' || LPAD(MOD(i, 10000000), 7, '0'),"
      echo "  CASE MOD(i, 8) WHEN 0 THEN 'Oslo' WHEN 1 THEN 'Bergen' WHEN 2 THEN 'Zürich' WHEN 3 THEN 'Lyon'"
      echo "    WHEN 4 THEN 'Porto' WHEN 5 THEN 'Tromsø' WHEN 6 THEN 'Kraków' ELSE 'Gent' END,"
      echo "  $date,"
      echo "  TO_TIMESTAMP((1990 + MOD(i, 35)) || '-' || (MOD(i, 12) + 1) || '-' || (MOD(i, 28) + 1) || ' ' ||"
      echo "    MOD(i, 24) || ':' || MOD(i, 60) || ':' || MOD(i * 7, 60), 'YYYY-MM-DD HH24:MI:SS'),"
      echo "  'Note for row ' || i || ': the quick brown fox jumps over the lazy dog, twice over.'" ;;
    narrow)
      echo "i, 'name ' || i" ;;
    wide)
      printf "i"
      for c in $(seq 1 39); do
        case $((c % 4)) in
          0) printf ", MOD(i * %d, 1000000000)" "$c" ;;
          1) printf ", MOD(i, 100000) + %d / 100" "$c" ;;
          2) printf ", 'text %d of row ' || i" "$c" ;;
          3) printf ", %s" "$date" ;;
        esac
      done
      echo ;;
  esac
}

printf "%-6s %8s %7s %8s %8s %7s %8s %8s %7s %8s %7s %8s %8s\n" shape rows load_s \
  a2000_s a2000_cpu us/row a97_s a97_cpu us/row sqlite_cpu us/row x_sqlite peak_MiB
for rows in "$@"; do
  home=$work/home-$shape-$rows
  t0=$(date +%s.%N)
  if [ "${DMW_BENCH_KEEP:-0}" != 1 ] || [ ! -f "$home/.loaded" ]; then
    rm -rf "$home" && mkdir -p "$home"
    { table_ddl
      # Row numbers 1..ROWS as thousands times units: two short recursions
      # and a join cost far less than one recursion of ROWS steps.
      echo "INSERT INTO BIG WITH u (k) AS (SELECT 0 FROM dual UNION ALL SELECT k + 1 FROM u WHERE k < 999),"
      echo "  t (k) AS (SELECT 0 FROM dual UNION ALL SELECT k + 1 FROM t WHERE k < $(((rows - 1) / 1000))),"
      echo "  n (i) AS (SELECT t.k * 1000 + u.k + 1 FROM t, u WHERE t.k * 1000 + u.k < $rows)"
      echo "  SELECT $(row_values) FROM n;"
      echo "COMMIT;"; } >"$work/big-$shape.sql"
    "$build/ocilite/ocilite" create-user "$home" BENCH SCOTT tiger >/dev/null
    "$build/ocilite/ocilite" run "$home" BENCH SCOTT "$work/big-$shape.sql" >/dev/null
    touch "$home/.loaded"
  fi
  t1=$(date +%s.%N)

  # --acc_ver=1: Access 2000; --acc_ver=0: Access 95/97. Each side runs
  # DMW_BENCH_RUNS times; the figures are the medians, the peak the largest.
  : >"$work/runs-$shape-$rows-1"; : >"$work/runs-$shape-$rows-0"; : >"$work/runs-$shape-$rows-sqlite"
  for run in $(seq 1 "$runs"); do
    for format in 1 0; do
      rm -f "$work/big-$shape-$rows-$format.mdb"
      DMW_OCI_LIBRARY="$build/ocilite/libocilite.so" OCILITE_HOME="$home" \
        /usr/bin/time -f "%e %U %S %M" -o "$work/time-$shape-$rows-$format" \
        "$build/agent/dmwagent" --src=BENCH --oraclu=SCOTT --oraclp=tiger \
        --dest="$work/big-$shape-$rows-$format.mdb" --acc_ver=$format --silent
      awk '{ print $1, $2 + $3, $4 }' "$work/time-$shape-$rows-$format" >>"$work/runs-$shape-$rows-$format"
    done
    read -r sqlite_rows sqlite_s sqlite_cpu < <("$build/bench/bench_sqlite" "$home/BENCH/SCOTT.db" BIG "$work/big-$shape-$rows.sqlite")
    [ "$sqlite_rows" -eq "$rows" ] || { echo "bench/run.sh: SQLite read $sqlite_rows rows of $rows" >&2; exit 1; }
    echo "$sqlite_s $sqlite_cpu 0" >>"$work/runs-$shape-$rows-sqlite"
  done
  # "wall cpu peak" of one side: median wall, median CPU, largest peak.
  medians() {
    local column
    for column in 1 2; do
      cut -d' ' -f"$column" "$1" | sort -g | awk '{ v[NR] = $1 } END { m = int((NR + 1) / 2); print (NR % 2 ? v[m] : (v[m] + v[m + 1]) / 2) }'
    done | tr '\n' ' '
    cut -d' ' -f3 "$1" | sort -g | tail -1
  }
  read -r a2000_s a2000_cpu peak2000_kib < <(medians "$work/runs-$shape-$rows-1")
  read -r a97_s a97_cpu peak97_kib < <(medians "$work/runs-$shape-$rows-0")
  read -r _ sqlite_cpu _ < <(medians "$work/runs-$shape-$rows-sqlite")
  awk -v shape="$shape" -v r="$rows" -v t0="$t0" -v t1="$t1" -v a="$a2000_s" -v ac="$a2000_cpu" \
    -v b="$a97_s" -v bc="$a97_cpu" -v s="$sqlite_cpu" -v k="$peak2000_kib" -v k97="$peak97_kib" \
    'BEGIN { if (k97 > k) k = k97;
             printf "%-6s %8d %7.1f %8.2f %8.2f %7.2f %8.2f %8.2f %7.2f %8.2f %7.2f %7.2fx %8.1f\n",
                    shape, r, t1 - t0, a, ac, 1e6 * ac / r, b, bc, 1e6 * bc / r, s, 1e6 * s / r, s / ac, k / 1024 }'
done
