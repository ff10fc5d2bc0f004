#!/usr/bin/env bash
# The Debian packages, end to end: build them with cpack, let lintian check them,
# install them, start the installed program from its desktop entry's command on a
# private X server in a fresh HOME (first start, then the list), check that its
# data went to the user's folder, and purge all three again whatever happened.
set -euo pipefail
cd "$(dirname "$0")/.."

SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"
export DEBIAN_FRONTEND=noninteractive

# Its own build, for the prefix the package installs to.
build=build-deb
cmake -S . -B "$build" -DCMAKE_INSTALL_PREFIX=/usr -DHALVEX_BUILD_TESTS=OFF -DHALVEX_BUILD_BENCH=OFF
cmake --build "$build" -j2
rm -f "$build"/*.deb
(cd "$build" && cpack -G DEB)
packages=(halvex libpelliform1 libpelliform-dev)
debs=()
for p in "${packages[@]}"; do
  deb=$(ls "$build/${p}_"*.deb)
  debs+=("$deb")
  echo "package: $deb"
  dpkg-deb --field "$deb" Depends
done
# The program needs the library of exactly its own version.
version=$(dpkg-deb --field "${debs[0]}" Version)
dpkg-deb --field "${debs[0]}" Depends | grep -qF "libpelliform1 (= $version)" \
  || { echo "halvex does not depend on libpelliform1 (= $version)"; exit 1; }

# Errors fail; the warnings left are listed in the README.
lintian --fail-on error "${debs[@]}"

for p in "${packages[@]}"; do
  if dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    echo "$p is installed already; remove it before this check"
    exit 1
  fi
done
remove() { $SUDO apt-get purge -y "${packages[@]}" >/dev/null 2>&1 || true; }
trap remove EXIT
$SUDO apt-get install -y "${debs[@]/#/./}"

entry=/usr/share/applications/org.example.halvex.Halvex.desktop
command=$(sed -n 's/^Exec=//p' "$entry")
program=$(command -v "$command")
echo "the desktop entry starts $program"

python3 tests/e2e/scenario.py --installed --program "$program" --layouts layouts --keep "$build/smoke"

# Purged, nothing of the three is left.
remove
trap - EXIT
for p in "${packages[@]}"; do
  if dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'installed'; then
    echo "$p is still installed after the purge"
    exit 1
  fi
done
[ ! -e /usr/bin/halvex ] && [ -z "$(find /usr/lib -name 'libPelliform.so*' -print -quit)" ] \
  || { echo "files are left after the purge"; exit 1; }
echo "installed and purged: ${packages[*]}"
