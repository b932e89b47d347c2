#!/bin/bash
# Makes the README's picture, docs/window-and-space-time.png: ombrane.exe
# under Wine on examples/stop-and-go-wave.csv at multiplier 16, the
# construction zone on from step 3360 to 6240 (3:30 to 6:30), stopped at step
# 8640 (9:00) with the Space-Time Diagram of lane 1 open; the main window and
# the diagram are cut from the screen and set side by side.
#
#   scripts/docs-picture.sh [build-dir] [output.png]   (default: build/windows)
set -u

ROOT=$(cd "$(dirname "$0")/.." && pwd)
# Made absolute: the program is started from inside it.
mkdir -p "${1:-$ROOT/build/windows}" && BUILD=$(cd "${1:-$ROOT/build/windows}" && pwd) || exit 2
OUT=${2:-$ROOT/docs/window-and-space-time.png}
. "$ROOT/scripts/wine-harness.sh"

"$ROOT/scripts/build-windows.sh" "$BUILD" ombrane ombrane-conread >"$BUILD/docs-picture-build.log" 2>&1 ||
    { tail -20 "$BUILD/docs-picture-build.log"; fail "Windows build"; finish; }
EXE=$BUILD/ombrane.exe
CAPTION_CLICK_X=700
CONSOLE_COLUMNS=40

start_display_and_prefix ombrane-picture
mkdir -p "$WORK/data"
cp "$ROOT/examples/stop-and-go-wave.csv" "$WORK/data/"
# Started by hand rather than by start_program: on a loaded machine Wine
# may take minutes to show the window.
cd "$BUILD" || exit 1
timeout 900 wine "$EXE" >"$WORK/ombrane.out" 2>&1 &
APP_PID=$!
MAIN=$(find_window '^Ombrane 0\.8 - ' 240)
check "main window appears" test -n "$MAIN"
[ -n "$MAIN" ] || finish

check "the groups file opens" open_file "$WORK/data/stop-and-go-wave.csv"
check "its cars are placed" console_has "Placed 1004 cars" 20

number() {         # dialog title, number
    find_window "^$1\$" 10 >/dev/null || return 1
    xdotool type --delay 60 "$2"
    xdotool key Return
    sleep 0.5
}
# shellcheck disable=SC2317 # called through eventually
step_is() { test "$(step_of_title)" = "$1"; }
run_to() {         # step
    keys ctrl+t
    number 'Enter Step Number' "$1"
    keys Return
    check "the run reaches step $1" eventually 240 step_is "$1"
}

keys ctrl+d
number 'Enter Speed Multiplier' 16
run_to 3360
keys c
run_to 6240
keys c
run_to 8640

keys ctrl+1
SPACETIME=$(find_window '^Space-Time Diagram$' 10)
check "the Space-Time Diagram opens" test -n "$SPACETIME"
[ -n "$SPACETIME" ] || finish
# Each window is raised in turn, the diagram fully on the screen, and
# captured alone; the road is scaled to the diagram's height beside it.
xdotool windowmove "$SPACETIME" 820 40
sleep 2
xdotool windowraise "$MAIN"
sleep 1
timeout 20 import -window "$MAIN" "$WORK/main.png" 2>/dev/null
xdotool windowraise "$SPACETIME"
sleep 2
timeout 20 import -window "$SPACETIME" "$WORK/view.png" 2>/dev/null
check "both windows were captured" test -s "$WORK/main.png" -a -s "$WORK/view.png"
height=$(identify -format %h "$WORK/view.png" 2>/dev/null)
convert \( "$WORK/main.png" -resize "x${height:-520}" \) \( "$WORK/view.png" -background white -gravity west -splice 8x0 \) +append -strip "$OUT" 2>/dev/null
check "the picture is written to $OUT" test -s "$OUT"
finish
