#!/usr/bin/env bash
# Starts the real program under a private X server, from a copy in an empty
# directory, and checks that it opens its window and creates its data file.
set -euo pipefail
program="$1"

work=$(mktemp -d)
cleanup() {
  [ -n "${app:-}" ] && kill "$app" 2>/dev/null || true
  [ -n "${xvfb:-}" ] && kill "$xvfb" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

cp "$program" "$work/halvex"

exec 3<> "$work/displayfd"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
xvfb=$!
for _ in $(seq 50); do
  display=$(head -n1 "$work/displayfd" 2>/dev/null || true)
  [ -n "$display" ] && break
  sleep 0.1
done
[ -n "$display" ] || { echo "Xvfb did not start"; cat "$work/xvfb.log"; exit 1; }
export DISPLAY=":$display"
unset QT_QPA_PLATFORM

"$work/halvex" >"$work/app.log" 2>&1 &
app=$!

for _ in $(seq 100); do
  if xwininfo -root -tree 2>/dev/null | grep -q '"Halvex"'; then
    break
  fi
  sleep 0.1
done
xwininfo -root -tree | grep -q '"Halvex"' || { echo "no Halvex window"; cat "$work/app.log"; exit 1; }
geometry=$(xwininfo -name Halvex | awk '/Width:/{w=$2} /Height:/{h=$2} END{print w "x" h}')
[ "$geometry" = "713x514" ] || { echo "window is $geometry, not 713x514"; exit 1; }

[ -d "$work/File" ] || { echo "File/ was not created"; exit 1; }
[ -f "$work/File/quorvel.dat" ] && [ ! -s "$work/File/quorvel.dat" ] \
  || { echo "File/quorvel.dat is not an empty file"; exit 1; }
mode=$(stat -c %a "$work/File/quorvel.dat")
[ "$mode" = "600" ] || { echo "data file mode is $mode"; exit 1; }

kill -0 "$app" || { echo "the program ended early"; cat "$work/app.log"; exit 1; }
echo "Halvex opened its 713x514 window and created File/quorvel.dat"
