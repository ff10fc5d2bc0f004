#!/usr/bin/env bash
# Starts the real program under a private X server, from a copy in an empty
# directory and a fresh HOME: the splash shows, then (no password stored) the
# main window opens and the data file is created.
set -euo pipefail
program="$1"
# The copy finds libPelliform of the build through the loader's search path.
export LD_LIBRARY_PATH="$2"

work=$(mktemp -d)
cleanup() {
  [ -n "${app:-}" ] && kill "$app" 2>/dev/null || true
  [ -n "${xvfb:-}" ] && kill "$xvfb" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

cp "$program" "$work/halvex"

exec 3<> "$work/displayfd"
# -noreset: otherwise the server resets when its last client leaves, the
# readiness probe below included, and refuses connections while it does.
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset >"$work/xvfb.log" 2>&1 &
xvfb=$!
display=
for _ in $(seq 150); do
  # Only a whole line: a number still being written could name another server.
  if [ "$(tail -c1 "$work/displayfd" 2>/dev/null | wc -l)" = 1 ]; then
    display=$(head -n1 "$work/displayfd")
    break
  fi
  sleep 0.1
done
[ -n "$display" ] || { echo "Xvfb did not start"; cat "$work/xvfb.log"; exit 1; }
export DISPLAY=":$display"
unset QT_QPA_PLATFORM
# Under load the number comes before the server takes connections: a program
# started then fails with "could not connect to display".
ready=
for _ in $(seq 150); do
  if xwininfo -root >/dev/null 2>&1; then ready=1; break; fi
  kill -0 "$xvfb" 2>/dev/null || break
  sleep 0.1
done
[ -n "$ready" ] || { echo "Xvfb takes no connections"; cat "$work/xvfb.log"; exit 1; }

mkdir -p "$work/home"
export HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" XDG_DATA_HOME="$work/home/.local/share"
"$work/halvex" >"$work/app.log" 2>&1 &
app=$!

# A viewable top-level window with this title and size.
viewable() {
  xwininfo -root -tree 2>/dev/null | grep -F "\"$1\"" | grep -q " $2+" || return 1
}
wait_for() {
  for _ in $(seq "$3"); do
    viewable "$1" "$2" && return 0
    sleep 0.1
  done
  echo "no viewable \"$1\" window of $2"; xwininfo -root -tree; cat "$work/app.log"; exit 1
}

wait_for "L O A D I N G . . ." 548x298 50
echo "splash shown"
[ ! -e "$work/File" ] || { echo "the data folder was touched before the main window"; exit 1; }
wait_for "Halvex" 713x514 100
viewable "L O A D I N G . . ." 548x298 && { echo "the splash is still there"; exit 1; }

[ -d "$work/File" ] || { echo "File/ was not created"; exit 1; }
[ -f "$work/File/quorvel.dat" ] && [ ! -s "$work/File/quorvel.dat" ] \
  || { echo "File/quorvel.dat is not an empty file"; exit 1; }
mode=$(stat -c %a "$work/File/quorvel.dat")
[ "$mode" = "600" ] || { echo "data file mode is $mode"; exit 1; }

kill -0 "$app" || { echo "the program ended early"; cat "$work/app.log"; exit 1; }
echo "Halvex opened its 713x514 window and created File/quorvel.dat"
