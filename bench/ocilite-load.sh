#!/bin/sh
# Times `ocilite run` on a generated script of single-row INSERTs (NUMBER,
# VARCHAR2, DATE via TO_DATE), as a table export from SQL*Plus looks, and
# reports the elapsed time and peak memory.
#   bench/ocilite-load.sh [ROWS] [OCILITE]
# ROWS defaults to 1000000; OCILITE to build-release/ocilite/ocilite (make it
# with a Release build of the ocilite_cli target).
set -eu
rows=${1:-1000000}
tool=${2:-build-release/ocilite/ocilite}
[ -x "$tool" ] || { echo "no ocilite tool at $tool" >&2; exit 2; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
script=$work/load.sql
awk -v rows="$rows" 'BEGIN {
  print "REM bulk load benchmark"
  print "SET DEFINE OFF"
  print "SET FEEDBACK OFF"
  print "CREATE TABLE ORDERS (ORDER_ID NUMBER(10) PRIMARY KEY, CUSTOMER VARCHAR2(40) NOT NULL,"
  print "  AMOUNT NUMBER(12,2), STATUS CHAR(1), ORDERED DATE, NOTE VARCHAR2(100));"
  for (i = 1; i <= rows; i++) {
    d = sprintf("%04d-%02d-%02d %02d:%02d:%02d", 2000 + i % 20, 1 + i % 12, 1 + i % 28, i % 24, i % 60, (i * 7) % 60)
    note = (i % 10 == 0) ? "NULL" : sprintf("'"'"'note %d for order'"'"'", i)
    printf "INSERT INTO ORDERS VALUES (%d, '"'"'Customer %d'"'"', %d.%02d, '"'"'%s'"'"', TO_DATE('"'"'%s'"'"', '"'"'YYYY-MM-DD HH24:MI:SS'"'"'), %s);\n", i, i % 5000, i % 100000, i % 100, substr("NPSC", 1 + i % 4, 1), d, note
  }
  print "COMMIT;"
  print "EXIT"
}' > "$script"
echo "script: $rows rows, $(wc -c < "$script") bytes"
"$tool" create-user "$work/home" BENCH LOADER secret
/usr/bin/time -v "$tool" run "$work/home" BENCH LOADER "$script" 2> "$work/time.txt" || { cat "$work/time.txt" >&2; exit 1; }
grep -E "Elapsed \(wall clock\)|Maximum resident set size" "$work/time.txt"
echo "rows loaded: $(sqlite3 "$work/home/BENCH/LOADER.db" 'SELECT COUNT(*) FROM ORDERS' 2>/dev/null || echo '(sqlite3 not installed)')"
