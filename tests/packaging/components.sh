#!/usr/bin/env bash
# Installs each package's part into a staging folder of its own (DESTDIR, so
# nothing reaches the system) and checks that every installed file lands in
# exactly one package, the one Debian would put it in.
set -euo pipefail
build=$1

stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
fail() { echo "FAILED: $*"; exit 1; }
files() { (cd "$1" && find . ! -type d | sed 's|^\./|/|' | sort); }

DESTDIR="$stage/all" cmake --install "$build" >/dev/null
files "$stage/all" >"$stage/all.txt"
for part in library development program; do
  DESTDIR="$stage/$part" cmake --install "$build" --component "$part" >/dev/null
  files "$stage/$part" >"$stage/$part.txt"
done
sort "$stage"/{library,development,program}.txt >"$stage/parts.txt"
twice=$(uniq -d "$stage/parts.txt")
[ -z "$twice" ] || fail "in more than one package: $twice"
missing=$(comm -23 "$stage/all.txt" "$stage/parts.txt")
[ -z "$missing" ] || fail "in no package: $missing"

# The library package holds the library and its documents only.
stray=$(grep -Ev '/libPelliform\.so\.[0-9][0-9.]*$|/share/doc/libpelliform[0-9]+/' \
        "$stage/library.txt" || true)
[ -z "$stray" ] || fail "not for the library package: $stray"
grep -q '/libPelliform\.so\.1$' "$stage/library.txt" || fail "no libPelliform.so.1 in the library package"

has() { grep -Eq "$2" "$stage/$1.txt" || fail "$1 lacks $2"; }
has development '/include/Pelliform/Skin\.h$'
has development '/libPelliform\.so$'
has development '/cmake/Pelliform/PelliformConfig\.cmake$'
has development '/designer/libPelliformDesigner\.so$'
has development '/share/doc/libpelliform-dev/copyright$'
has program '/bin/halvex$'
has program '/bin/halvex-contacts$'
has program '/share/man/man1/halvex\.1$'
has program '/share/applications/.*\.desktop$'
has program '/systemd/user/halvex-sync\.timer$'
has program '/share/doc/halvex/copyright$'
! grep -q 'libPelliform' "$stage/program.txt" || fail "the program's package holds the library"
echo "every installed file is in exactly one of the three packages"
