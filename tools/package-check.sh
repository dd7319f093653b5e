#!/usr/bin/env bash
# Installs a Dunmarrow package, converts the sample schema with the installed
# programs only, removes the package and checks that nothing of it is left.
# Run as root on a machine without dunmarrow installed.
# usage: tools/package-check.sh [dunmarrow_VERSION_ARCH.deb]
#   (default: the newest package in build-release/)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
if [ "$(id -u)" -ne 0 ]; then
  echo "package-check: run as root (it installs and removes the package)" >&2
  exit 1
fi
deb=${1:-$(ls -t "$root"/build-release/dunmarrow_*.deb 2>/dev/null | head -n1)}
if [ -z "$deb" ] || [ ! -f "$deb" ]; then
  echo "package-check: no package; make one with: cmake --build build-release --target package" >&2
  exit 1
fi
deb=$(realpath "$deb")
if dpkg-query -W -f='${Status}' dunmarrow 2>/dev/null | grep -q 'ok installed'; then
  echo "package-check: dunmarrow is installed already; remove it first (dpkg -r dunmarrow)" >&2
  exit 1
fi
work=$(mktemp -d)
installed=0
cleanup() {
  [ $installed -eq 1 ] && dpkg -r dunmarrow >/dev/null 2>&1
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "package-check: FAIL: $*" >&2; exit 1; }

echo "== installing $(basename "$deb")"
export DEBIAN_FRONTEND=noninteractive
apt-get install -y -qq --no-install-recommends "$deb" >"$work/apt.log" 2>&1 ||
  { cat "$work/apt.log" >&2; fail "apt-get install"; }
installed=1
dpkg -L dunmarrow >"$work/files"
while read -r path; do if [ -f "$path" ]; then echo "$path"; fi; done <"$work/files" >"$work/regular"
echo "$(wc -l <"$work/regular") files installed"

echo "== man -w dmwagent"
page=$(man -w dmwagent) || fail "man -w dmwagent"
echo "$page"
for name in jetutil ocilite; do man -w "$name" >/dev/null || fail "man -w $name"; done
for program in /usr/bin/dmwagent /usr/bin/jetutil /usr/bin/ocilite /usr/bin/dmwwiz; do
  [ -e "$program" ] || continue
  ! ldd "$program" | grep -q 'not found' || fail "$program misses libraries: $(ldd "$program" | grep 'not found')"
done

lib=$(grep '/libocilite\.so$' "$work/regular" | head -n1)
[ -n "$lib" ] || fail "libocilite.so is not in the package"
echo "== converting the sample schema (ocilite at $lib)"
cd "$work"  # nothing of the source tree but the script is used
/usr/bin/ocilite create-user "$work/home" DEMO SCOTT tiger
/usr/bin/ocilite run "$work/home" DEMO SCOTT "$root/ocilite/sample/demo.sql" >/dev/null
DMW_OCI_LIBRARY="$lib" OCILITE_HOME="$work/home" \
  /usr/bin/dmwagent --src=DEMO --oraclu=SCOTT --oraclp=tiger --dest="$work/demo.mdb" --acc_ver=1 --mode=0 \
  >"$work/agent.log" 2>&1 || { cat "$work/agent.log" >&2; fail "dmwagent"; }
tail -n 3 "$work/agent.log"
/usr/bin/jetutil check "$work/demo.mdb" || fail "jetutil check"
if command -v mdb-tables >/dev/null; then
  echo "mdb-tables: $(mdb-tables -1 "$work/demo.mdb" | tr '\n' ' ')"
fi
cd "$root"

echo "== removing"
dpkg -r dunmarrow >/dev/null
installed=0
left=$(while read -r path; do if [ -e "$path" ]; then echo "$path"; fi; done <"$work/regular")
[ -z "$left" ] || fail "left after dpkg -r: $left"
for folder in /usr/share/dunmarrow; do
  [ ! -e "$folder" ] || fail "left after dpkg -r: $folder"
done
# CPack's ldconfig postrm (for the library under /usr/lib) keeps dpkg's record
# as "config-files" until a purge; the package has no configuration files.
status=$(dpkg-query -W -f='${Status}' dunmarrow 2>/dev/null || true)
case "$status" in
  ""|*not-installed) ;;
  *config-files) dpkg -P dunmarrow >/dev/null ;;
  *) fail "dpkg records dunmarrow as '$status' after dpkg -r" ;;
esac
if dpkg-query -W dunmarrow >/dev/null 2>&1 &&
   ! dpkg-query -W -f='${Status}' dunmarrow | grep -q not-installed; then
  fail "dpkg still knows dunmarrow after the purge"
fi
[ -z "$(ls /var/lib/dpkg/info/dunmarrow.* 2>/dev/null)" ] || fail "left: $(ls /var/lib/dpkg/info/dunmarrow.*)"
echo "package-check: $(basename "$deb") installs, converts the sample schema and removes cleanly"
