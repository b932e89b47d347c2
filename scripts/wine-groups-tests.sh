#!/bin/bash
# Drives the Groups window of the real ombrane.exe under Wine: Ctrl+3 opens
# it with the groups of a file, a cell edited in place changes the console,
# the grid and the run, a refused value changes nothing, going back before an
# edit brings the old value, and after going back and editing the Speed Chart
# draws the run as it went before. The grid is read from the list view itself
# (ombrane-conread --list).
#
# Usage: scripts/wine-groups-tests.sh [build-dir]     (default: build/windows)
# Prints one line per check and "N passed, M failed"; exits non-zero on any
# failure. With OMBRANE_SHOT=FILE the chart showing both futures is saved there.
set -u

ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=${1:-$ROOT/build/windows}
. "$ROOT/scripts/wine-harness.sh"

"$ROOT/scripts/install-deps.sh" --wine-tests || { fail "packages installed"; finish; }
mkdir -p "$BUILD"
if ! timeout 1800 "$ROOT/scripts/build-windows.sh" "$BUILD" ombrane ombrane-conread >"$BUILD/wine-groups-build.log" 2>&1; then
    tail -30 "$BUILD/wine-groups-build.log"
    fail "Windows build"
    finish
fi
EXE=$BUILD/ombrane.exe
CAPTION_CLICK_X=700
CONSOLE_COLUMNS=40

start_display_and_prefix ombrane-groups
mkdir -p "$WORK/data"
cp "$ROOT/tests/wine/two-groups.csv" "$WORK/data/two-groups.csv"
start_program "$WORK/data" '^Ombrane 0\.8' "ombrane.exe starts"
open_file "$WORK/data/two-groups.csv"
check "the file is read" console_has "Placed 20 cars in 2 groups on roadway" 15

# Column numbers of the grid: # Z A B C D E F G H I K L M N P Q R 1 2 3 4
A=2

keys ctrl+3
GROUPS_WINDOW=$(find_window '^Groups$' 10)
check "Ctrl+3 opens the Groups window" test -n "$GROUPS_WINDOW"
[ -n "$GROUPS_WINDOW" ] || finish
check "group 0's row holds the file's values and its cars" \
    eventually 10 row_is 0 "0|Red|60|10|2|1|1|0|2|2|1|2|2|3|10|15|1|#5|10|0|0|0"
check "group 1's row too" eventually 5 bash -c "grep -q '^1|Blue|50|8|2|1|2|1|2|2|2|2|2|3|10|10|1|#5|' '$WORK/list.txt'"
log "grid: $(grep -v '^rect|' "$WORK/list.txt" | tr '\n' ' ')"

g1_average() { title | sed -n 's/.* \{1,\}\(-\{0,1\}[0-9]*\)( 1).*/\1/p'; }

keys Return                                    # run
step_past() { test "$(step_of_title)" -ge "$1"; }
check "the run goes on" eventually 60 step_past 800
keys ctrl+2
CHART=$(find_window '^Speed Chart$' 10)
log "group 1's average before the edit: $(g1_average) mph"

edit_cell 1 $A 20
check "an edit of A is logged" said "group 1 desired speed A 50 -> 20" 10
edit_step=$(flat | grep -o 'Step[0-9]*:group1desiredspeedA50->20' | head -n1 | sed 's/^Step\([0-9]*\):.*/\1/')
check "the grid shows it" eventually 10 cell_is 1 $A 20
slowed() { a=$(g1_average); test -n "$a" && test "$a" -le 24; }
check "the run follows it: group 1's average in the title falls to 20 mph" eventually 90 slowed
log "edited at step ${edit_step:-?}; group 1's average now ${a:-?} mph"

# --- refused values ----------------------------------------------------------------
edit_cell 1 $A fast
check "text in a number column is refused in the console" said "group 1 desired speed A refused: 'fast' is no number" 10
check "and the group keeps its value" cell_is 1 $A 20
edit_cell 1 $A 30,5
check "a comma is refused" said "'30,5' holds a comma" 10
edit_cell 1 $A nan
check "NaN is refused" said "'nan' is not a usable number" 10
check "the group still has 20 mph" cell_is 1 $A 20

# --- going back before the edit --------------------------------------------------------
keys space                                     # pause
back_to=$(( ${edit_step:-800} - 160 ))
keys ctrl+b
if window_appears '^Back to Step$' 10; then
    xdotool type --delay 60 "$back_to"
    xdotool key Return
fi
check "Back to Step goes back before the edit" console_has "Back to step $back_to" 10
check "the grid shows the old value again" eventually 10 cell_is 1 $A 50

# --- two futures -----------------------------------------------------------------------
if [ -n "$CHART" ]; then
    view_pixels() {    # colour -> pixels of exactly that colour in the chart
        timeout 20 import -window "$CHART" "$WORK/chart.png" 2>/dev/null
        convert "$WORK/chart.png" -fill black +opaque "$1" -fill white -opaque "$1" \
            -format '%[fx:int(mean*w*h+0.5)]' info: 2>/dev/null
    }
    keys ctrl+2
    sleep 1.5
    blue_before=$(view_pixels 'rgb(0,0,255)')
    edit_cell 1 $A 35
    check "an edit after going back is logged" said "group 1 desired speed A 50 -> 35" 10
    keys ctrl+2
    more_blue() { blue_after=$(view_pixels 'rgb(0,0,255)'); test "${blue_after:-0}" -gt $((${blue_before:-0} + 40)); }
    check "the chart adds the future before the edit, dashed" eventually 10 more_blue
    log "group 1's pixels in the chart: ${blue_before:-?} cut, ${blue_after:-?} with the other future"
    keys Return
    sleep 8
    keys ctrl+2
    sleep 1.5
    if [ -n "${OMBRANE_SHOT:-}" ]; then
        timeout 20 import -window "$CHART" "$OMBRANE_SHOT" 2>/dev/null && log "chart saved to $OMBRANE_SHOT"
    fi
fi

# --- a tiny window, a new file -------------------------------------------------------------
xdotool windowsize "$GROUPS_WINDOW" 40 30
sleep 0.5
check "a tiny Groups window leaves the program running" kill -0 "$APP_PID"
xdotool windowsize "$GROUPS_WINDOW" 900 300
open_file "$WORK/data/two-groups.csv"
check "a new file brings the file's value back" eventually 15 cell_is 1 $A 50

keys alt+f x
check "File > Exit ends the program" program_ends 10
APP_PID=
finish
