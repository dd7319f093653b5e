#!/usr/bin/env bash
# Installs the Debian packages Dunmarrow needs when they are missing (as root,
# with apt-get), or names them and fails (as another user).
# usage: tools/ensure-packages.sh CALLER demo|test
#   demo: building a release tree (the wizard needs Qt 6), looking at its
#         Access files (mdbtools) and packaging it (dpkg-shlibdeps of dpkg-dev)
#   test: also GoogleTest, Node.js and npm, the npm readers of tools/readers,
#         and man for checking the man pages
set -euo pipefail
caller=${1:?caller}
purpose=${2:?demo or test}
cd "$(dirname "$0")/.."

packages=(cmake g++ make pkg-config libsqlite3-dev sqlite3 mdbtools qt6-base-dev qt6-svg-dev dpkg-dev)
if [ "$purpose" = test ]; then
  packages+=(libgtest-dev libgmock-dev man-db groff-base)
fi
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ "$purpose" = test ]; then
  # Node.js may come from another packaging that bundles npm: look for the commands.
  command -v node >/dev/null || missing+=(nodejs)
  command -v npm >/dev/null || missing+=(npm)
fi
if [ ${#missing[@]} -gt 0 ]; then
  if [ "$(id -u)" -eq 0 ]; then
    echo "$caller: installing ${missing[*]}"
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
  else
    echo "$caller: missing packages: ${missing[*]} (run as root to install them)" >&2
    exit 1
  fi
fi

# npm packages used by the tests as independent readers (mdb-reader).
if [ "$purpose" = test ] && [ -f tools/readers/package.json ] && [ ! -d tools/readers/node_modules ]; then
  (cd tools/readers && npm ci --silent --no-audit --no-fund)
fi
