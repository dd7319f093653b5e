#!/usr/bin/env bash
# Builds the Debian package from a build tree into a temporary folder and
# checks what it holds, its control fields and the man pages.
# usage: package_test.sh BUILD SOURCE qt|noqt
set -uo pipefail
build=$1 source=$2 qt=$3
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
status=0
fail() { echo "FAIL: $*" >&2; status=1; }
export LC_ALL=C MANWIDTH=80

# A sanitizer or Debug tree is refused unless asked for explicitly.
if grep -q '^set(dmw_faults "[^"]' "$build/dmw_cpack_options.cmake"; then
  if cpack -G DEB --config "$build/CPackConfig.cmake" -B "$tmp/refused" >"$tmp/refused.log" 2>&1; then
    fail "cpack packaged a build that is not a release build"
  fi
  grep -q 'packages are made from a Release build' "$tmp/refused.log" ||
    fail "cpack's refusal does not say how to make a release package: $(cat "$tmp/refused.log")"
fi

if ! cpack -G DEB --config "$build/CPackConfig.cmake" -B "$tmp/out" -D DMW_PACKAGE_ANY_BUILD=ON \
     >"$tmp/cpack.log" 2>&1; then
  cat "$tmp/cpack.log" >&2
  echo "FAIL: cpack" >&2
  exit 1
fi
version=$(sed -n 's/^set(CPACK_PACKAGE_VERSION "\(.*\)")$/\1/p' "$build/CPackConfig.cmake")
arch=$(dpkg --print-architecture)
deb="$tmp/out/dunmarrow_${version}_${arch}.deb"
if [ ! -f "$deb" ]; then
  echo "FAIL: no $deb; cpack made: $(ls "$tmp/out")" >&2
  exit 1
fi

# Exactly the files users get: no test program, nothing of the build tree.
expected=(/usr/bin/dmwagent /usr/bin/jetutil /usr/bin/ocilite /usr/lib/libocilite.so
          /usr/share/man/man1/dmwagent.1.gz /usr/share/man/man1/jetutil.1.gz
          /usr/share/man/man1/ocilite.1.gz)
if [ "$qt" = qt ]; then
  expected+=(/usr/bin/dmwwiz /usr/share/man/man1/dmwwiz.1.gz
             /usr/share/applications/dunmarrow-dmwwiz.desktop
             /usr/share/icons/hicolor/scalable/apps/dunmarrow-dmwwiz.svg)
  for topic in "$source"/GUI2/help/*; do
    expected+=("/usr/share/dunmarrow/dmwwiz-help/$(basename "$topic")")
  done
fi
printf '%s\n' "${expected[@]}" | sort >"$tmp/expected"
dpkg-deb -c "$deb" | awk '$1 ~ /^-/ { sub(/^\./, "", $6); print $6 }' | sort >"$tmp/files"
diff -u "$tmp/expected" "$tmp/files" >"$tmp/files.diff" || fail "package contents differ: $(cat "$tmp/files.diff")"
others=$(dpkg-deb -c "$deb" | awk '$1 !~ /^[-d]/')
[ -z "$others" ] || fail "package holds links or special files: $others"

# The installed man pages are the sources, gzipped.
for page in "$source"/man/*.1; do
  name=$(basename "$page")
  [ "$qt" = noqt ] && [ "$name" = dmwwiz.1 ] && continue
  dpkg-deb --fsys-tarfile "$deb" | tar -xO "./usr/share/man/man1/$name.gz" | gzip -dc | cmp -s - "$page" ||
    fail "packaged $name.gz is not man/$name"
done

# Control fields.
field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = dunmarrow ] || fail "Package: $(field Package)"
[ "$(field Version)" = "$version" ] || fail "Version: $(field Version), expected $version"
[ "$(field Architecture)" = "$arch" ] || fail "Architecture: $(field Architecture)"
depends=$(field Depends)
grep -q 'libc6' <<<"$depends" || fail "Depends lacks libc6: '$depends'"
grep -q 'libsqlite3-0' <<<"$depends" || fail "Depends lacks libsqlite3-0: '$depends'"
if [ "$qt" = qt ]; then
  grep -q 'libqt6widgets6' <<<"$depends" || fail "Depends lacks libqt6widgets6: '$depends'"
fi
[ -n "$(field Maintainer)" ] || fail "no Maintainer"
[ -n "$(field Section)" ] || fail "no Section"
[ -z "$(field Homepage)" ] || fail "Homepage: $(field Homepage)"

# dmwagent(1) has an entry for each option of the usage text, and no other.
help_options=$("$build/agent/dmwagent" --help 2>&1 | grep -o -- '--[a-z_]*' | sort -u)
man -l "$source/man/dmwagent.1" 2>/dev/null | col -b |
  sed -n '/^OPTIONS/,/^EXIT STATUS/p' | grep -o -- '^       --[a-z_]*' | tr -d ' ' | sort -u >"$tmp/man_options"
[ -n "$help_options" ] || fail "dmwagent --help lists no options"
diff -u <(echo "$help_options") "$tmp/man_options" >"$tmp/options.diff" ||
  fail "options of dmwagent --help (-) and of man/dmwagent.1 (+) differ: $(cat "$tmp/options.diff")"

# Every page renders without a warning from groff or man.
for page in "$source"/man/*.1; do
  warnings=$(man --warnings -l "$page" 2>&1 >/dev/null)
  [ -z "$warnings" ] || fail "$(basename "$page"): $warnings"
done

if [ "$qt" = qt ] && command -v desktop-file-validate >/dev/null; then
  desktop-file-validate "$source/GUI2/dunmarrow-dmwwiz.desktop" || fail "desktop entry"
fi

[ $status -eq 0 ] && echo "package $(basename "$deb") checked"
exit $status
