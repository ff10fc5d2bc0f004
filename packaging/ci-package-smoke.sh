#!/usr/bin/env bash
# The Debian package, end to end: build it with cpack, let lintian check it,
# install it, start the installed program from its desktop entry's command on a
# private X server in a fresh HOME (first start, then the list), check that its
# data went to the user's folder, and remove the package again whatever happened.
set -euo pipefail
cd "$(dirname "$0")/.."

SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"
export DEBIAN_FRONTEND=noninteractive

# Its own build, for the prefix the package installs to.
build=build-deb
cmake -S . -B "$build" -DCMAKE_INSTALL_PREFIX=/usr -DHALVEX_BUILD_TESTS=OFF -DHALVEX_BUILD_BENCH=OFF
cmake --build "$build" -j2
rm -f "$build"/halvex_*.deb
(cd "$build" && cpack -G DEB)
deb=$(ls "$build"/halvex_*.deb)
echo "package: $deb"
dpkg-deb --field "$deb" Depends

# Errors fail; the warnings left are listed in the README.
lintian --fail-on error "$deb"

if dpkg-query -W -f='${Status}' halvex 2>/dev/null | grep -q 'install ok installed'; then
  echo "halvex is installed already; remove it before this check"
  exit 1
fi
remove() { $SUDO apt-get purge -y halvex >/dev/null 2>&1 || true; }
trap remove EXIT
$SUDO apt-get install -y "./$deb"

entry=/usr/share/applications/org.example.halvex.Halvex.desktop
command=$(sed -n 's/^Exec=//p' "$entry")
program=$(command -v "$command")
echo "the desktop entry starts $program"

python3 tests/e2e/scenario.py --installed --program "$program" --layouts layouts --keep "$build/smoke"
