#!/usr/bin/env bash
# Installs the build into a staging folder (DESTDIR, so nothing reaches the
# system), then checks what landed there and builds a project against it.
set -euo pipefail
build=$1 consumer=$2 prefix=$3 qt_plugins=$4

stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
DESTDIR="$stage" cmake --install "$build" >"$stage/install.log"
root="$stage$prefix"

fail() { echo "FAILED: $*"; exit 1; }
for f in bin/halvex share/applications/org.example.halvex.Halvex.desktop \
         share/metainfo/org.example.halvex.Halvex.metainfo.xml share/man/man1/halvex.1 \
         share/doc/halvex/copyright share/doc/halvex/changelog.gz; do
  [ -f "$root/$f" ] || fail "$f was not installed"
done
for size in 16 32 48 64 128 256; do
  icon="$root/share/icons/hicolor/${size}x${size}/apps/halvex.png"
  [ -f "$icon" ] || fail "no ${size} px icon"
  # A PNG's width and height are the big-endian words at bytes 16 and 20.
  read -r w h < <(od -An -tu1 -j16 -N8 "$icon" |
                  awk '{print $1*16777216+$2*65536+$3*256+$4, $5*16777216+$6*65536+$7*256+$8}')
  [ "${w}x${h}" = "${size}x${size}" ] || fail "the ${size} px icon is ${w}x${h}"
done
lib=$(find "$root" -name 'libPelliform.so.1' | head -n1)
[ -n "$lib" ] || fail "libPelliform.so.1 was not installed"
[ -f "$root/include/Pelliform/Skin.h" ] || fail "Skin.h was not installed"
plugin=$(find "$stage" -path "*$qt_plugins/designer/libPelliformDesigner.so" | head -n1)
[ -n "$plugin" ] || fail "the Designer plugin is not in Qt's plugin folder ($qt_plugins/designer)"

# The program finds the library relative to itself, wherever the prefix is.
runpath=$(readelf -d "$root/bin/halvex" | sed -n 's/.*(RUNPATH).*\[\(.*\)\]/\1/p')
case "$runpath" in
  '$ORIGIN/'*) ;;
  *) fail "the program's run path is '$runpath'" ;;
esac
resolved=$(cd "$root/bin/${runpath#\$ORIGIN/}" && pwd -P)
libdir=$(cd "$(dirname "$lib")" && pwd -P)
[ "$resolved" = "$libdir" ] || fail "the run path leads to $resolved, not to $libdir"

bash "$(dirname "$0")/run_paths.sh" "$root"

cmake -S "$consumer" -B "$stage/consumer" -DCMAKE_PREFIX_PATH="$root" >"$stage/consumer.log" 2>&1 \
  || { cat "$stage/consumer.log"; fail "find_package(Pelliform) failed"; }
cmake --build "$stage/consumer" >>"$stage/consumer.log" 2>&1 \
  || { cat "$stage/consumer.log"; fail "the project using Pelliform::Pelliform did not build"; }
QT_QPA_PLATFORM=offscreen "$stage/consumer/consumer"
echo "installed tree complete; find_package(Pelliform) works"
