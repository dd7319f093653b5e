#!/usr/bin/env bash
# Builds the Windows probe with mingw-w64, runs it under Wine over the corpus,
# and writes the answers to tests/platform/vectors/oleauto.tsv.
# Needs the Debian packages g++-mingw-w64-x86-64-posix and wine64.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
out=${1:-$root/tests/platform/vectors/oleauto.tsv}
work=$(mktemp -d)
wineserver=$(command -v wineserver64 || command -v wineserver || echo true)
# Let the Wine server of the throw-away prefix finish before the prefix goes.
trap 'WINEPREFIX="$work/prefix" "$wineserver" -k 2>/dev/null; rm -rf "$work"' EXIT

x86_64-w64-mingw32-gcc -std=c99 -O1 -Wall -Wextra -I"$here" "$here/probe.c" -o "$work/probe.exe" -loleaut32

# A private, throw-away Wine prefix in US English, so that the user and
# system default locales are 1033 as on the hosts the system runs on.
# (Without an en_US locale on the host Wine falls back to US English too.)
export WINEPREFIX="$work/prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" TZ=UTC
wine=$(command -v wine64 || command -v wine)
env LANG=en_US.UTF-8 LC_ALL=en_US.UTF-8 "$wine" "$work/probe.exe" > "$work/raw.tsv"
"$wineserver" -w 2>/dev/null || true
tr -d '\r' < "$work/raw.tsv" > "$work/vectors.tsv"

mkdir -p "$(dirname "$out")"
{
  echo "# OLE Automation answers recorded from oleaut32 ($("$wine" --version 2>/dev/null || echo wine)) by tools/oleauto_vectors/generate.sh."
  echo "# operation, target, lcid, flags, argument, HRESULT (or BOOL), result"
  cat "$work/vectors.tsv"
} > "$out"
echo "wrote $(grep -vc '^#' "$out") vectors to $out"
