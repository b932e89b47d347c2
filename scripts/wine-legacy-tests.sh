#!/bin/bash
# Drives the real ombrane-legacy.exe (the earlier edition, 0.7) under Wine:
# its plain console and start-up lines, its shorter menu, Help, Save writing
# a snapshot, Open refusing ".omb" and restoring ".omxxb", and the four-line
# car report. Reuses the console reader and the prepared Wine prefix of the
# current edition's Wine tests.
#
# Usage: scripts/wine-legacy-tests.sh [build-dir]     (default: build/windows)
# Prints one line per check and "N passed, M failed"; exits non-zero on any
# failure.
set -u

ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=${1:-$ROOT/build/windows}
. "$ROOT/scripts/wine-harness.sh"

for tool in x86_64-w64-mingw32-g++ wine Xvfb xdotool cmake; do
    command -v "$tool" >/dev/null 2>&1 || { echo "missing $tool (scripts/install-deps.sh installs it)"; fail "tools present"; finish; }
done

# --- build ------------------------------------------------------------------
mkdir -p "$BUILD"
if ! "$ROOT/scripts/build-windows.sh" "$BUILD" ombrane-legacy ombrane-conread \
       >"$BUILD/wine-legacy-build.log" 2>&1; then
    tail -30 "$BUILD/wine-legacy-build.log"
    fail "Windows build of ombrane-legacy.exe"
    finish
fi
EXE=$BUILD/ombrane-legacy.exe

start_display_and_prefix ombrane-wine-legacy

# --- helpers for the running program --------------------------------------------
CAPTION_CLICK_X=300
# The console keeps Wine's width, which the rows do not tell.
CONSOLE_COLUMNS=0

console_unchanged() {  # the console text still equals the saved copy
    dump_console && cmp -s "$WORK/screen.txt" "$WORK/before.txt"
}
remember_console() { dump_console; cp "$WORK/screen.txt" "$WORK/before.txt"; }

red_pixels() {     # pure red pixels on the screen: the cars of the first test group
    import -window root "$WORK/shot.png" 2>/dev/null
    convert "$WORK/shot.png" -fill black +opaque 'rgb(255,0,0)' -fill white -opaque 'rgb(255,0,0)' \
        -format '%[fx:int(mean*w*h+0.5)]' info: 2>/dev/null
}

dismiss_box() {    # the "Ombrane" message box, if it is up: 0 when it was
    local box
    box=$(find_window '^Ombrane$' "${1:-10}") || return 1
    xdotool key Return
    sleep 0.5
    return 0
}

# --- start-up ---------------------------------------------------------------
mkdir -p "$WORK/data" "$WORK/run"
cp "$ROOT/tests/wine/two-groups.csv" "$WORK/data/two-groups.csv"
start_program "$WORK/run" '^Ombrane 0\.7 - ' "main window appears with the earlier edition's title"

check "start-up console text" console_has "Placed 50 cars in 50 groups on roadway" 15
expected_start=$'\nOmbrane traffic simulator 0.7\n-----------------------------\n\nUse the [File] menu to open a groups.csv file, then hit <Enter>\nTo Pause: Select the Main Window and hit <spacebar>'
check "empty line, banner, hyphens, empty line, two hint lines" test "$(head -n6 "$WORK/screen.txt")" = "$expected_start"
check "console not shaped: not 40 x 1000" bash -c "! grep -qx 'buffer 40 1000' '$WORK/screen.txt.info'"
check "console keeps the default colours (not 240)" bash -c "! grep -qx 'cellattribute 240' '$WORK/screen.txt.info'"
check "console keeps its own title" bash -c "! grep -qx 'title Ombrane Console' '$WORK/screen.txt.info'"
check "title with the tick time per second" \
    title_matches '^Ombrane 0\.7 - Default       #\(           0\)       50 cars = \[ *[0-9]+ms\]/sec     ' 5

# --- keys of the current edition that this one does not have -------------------------
remember_console
keys ctrl+d
check "Ctrl+D opens no Speed dialog" no_window '^Enter Speed Multiplier$' 2
keys ctrl+t
check "Ctrl+T opens no Step To dialog" no_window '^Enter Step Number$' 2
keys c
check "Ctrl+D, Ctrl+T and C print nothing" console_unchanged
check "C draws no zone: the title is unchanged" title_matches '#\(           0\)       50 cars' 2

# --- Help ----------------------------------------------------------------------------
keys F1
check "F1 shows the Ombrane message box" dismiss_box 10
check "F1 prints nothing" console_unchanged
keys alt+h h
check "Help menu item shows the same box" dismiss_box 10
check "Help menu item prints nothing" console_unchanged

# --- Save without a groups file ---------------------------------------------------------
keys ctrl+s
sleep 1
check "Save without a groups file writes nothing" test -z "$(ls "$WORK/run" "$WORK/data" | grep -F '.omb')"
check "Save without a groups file prints nothing" console_unchanged

# --- a groups file, a run, Save -----------------------------------------------------------
open_file "$WORK/data/two-groups.csv"
check "the groups file is read" console_has "Placed 20 cars in 2 groups on roadway" 15
red_drawn() { placed_red=$(red_pixels); test "${placed_red:-0}" -gt 0; }
check "placement draws the red cars" eventually 5 red_drawn
log "red pixels after placement: ${placed_red:-0}"
keys Return
check "Enter logs Resuming" console_has "Resuming" 10
check "running: the step count grows" title_matches '#\( +[1-9][0-9]{1,}\)' 15
# Each step paints a car white where it was before painting it where it is:
# moving cars leave no trail, so the red area stays about the same.
sleep 2
moving_red=$(red_pixels)
check "cars move without trails (${placed_red:-0} -> ${moving_red:-0} red px)" \
    test "${moving_red:-0}" -gt 0 -a "${moving_red:-0}" -le $(( ${placed_red:-0} * 3 / 2 ))
keys space
check "Space logs the earlier edition's pause line" console_has "Pausing... <Space> to single step, <Enter> to resume" 10
sleep 1
step=$(step_of_title)
sleep 1
check "paused at step $step" test "$(step_of_title)" = "$step"
keys ctrl+s
saved="$WORK/data/two-groups.$step(0.7).omb"
check "Save logs the created file" console_has "Created filename $(winpath "$saved") at step $step of two-groups.csv" 10
check "Save writes $(basename "$saved")" test -f "$saved"
check "the save-file holds 105088 bytes" test "$(stat -c %s "$saved" 2>/dev/null)" = 105088
check "the save-file starts with the title and a zero byte" \
    test "$(head -c 12 "$saved" | od -An -c | tr -s ' ')" = " O m b r a n e 0 . 7 \\0"

# --- run on, then Open: ".omb" refused, ".omxxb" restored ------------------------------------------
keys space
sleep 0.5
keys space
moved_on() { later=$(step_of_title); test "${later:-0}" -gt "$step"; }
check "single steps moved past the saved step" eventually 5 moved_on
log "single steps: $step -> $later"
remember_console
open_file "$saved"
check "Open refuses the .omb file with a warning box" dismiss_box 10
check "the refused file restores nothing" test "$(step_of_title)" = "$later"
cp "$saved" "$WORK/data/snapshot.omxxb"
open_file "$WORK/data/snapshot.omxxb"
check "Open restores the .omxxb file: back at step $step" title_matches "#\\( *$step\\)" 10
dump_console
check "the restore reports no error" bash -c "! grep -qF \"Can't restore\" '$WORK/screen.txt'"
keys space
check "the restored run goes on from there" title_matches "#\\( *$((step + 1))\\)" 10

# A damaged snapshot is refused and leaves the run where it is.
cp "$saved" "$WORK/data/bad.omxxb"
printf '\x09\x00\x00\x00' | dd of="$WORK/data/bad.omxxb" bs=1 seek=105084 conv=notrunc status=none
here=$(step_of_title)
open_file "$WORK/data/bad.omxxb"
check "a damaged snapshot is refused on the console" \
    console_has "Can't restore: The error was Damaged save-file: car count 20 but 9 cars in the order ring" 10
check "the refused snapshot leaves the step" test "$(step_of_title)" = "$here"

# --- a click gives the four-line car report ------------------------------------------------
focus_main
# Half-way down the window no car has got to yet.
height=$(xdotool getwindowgeometry "$MAIN" | sed -n 's/.*Geometry: [0-9]*x\([0-9]*\).*/\1/p')
xdotool mousemove --window "$MAIN" 5 $((${height:-600} / 2)) click 1 keydown shift click 1 keyup shift
check "clicks off the cars report NOT_FOUND in the earlier form" console_has ">>car NOT_FOUND" 10
check "a Shift-click gives no group report" bash -c "! grep -qF 'GROUP NUMBER' '$WORK/screen.txt'"

# --- Restart, Exit ---------------------------------------------------------------------------
keys ctrl+r
check "Ctrl+R restarts with the default groups" title_matches '^Ombrane 0\.7 - Default       #\(           0\)       50 cars' 10
keys alt+f x
check "File > Exit ends the program" program_ends 10
APP_PID=

finish
