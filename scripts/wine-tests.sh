#!/bin/bash
# Drives the real ombrane.exe under Wine as a person would: keys, clicks,
# dialogs, the console text and the pixels on the screen, the live views among
# them. Also runs the in-process GDI pixel tests and prints the paint time of
# a full road and the live views' tick and paint times, and the golden runs
# with the MinGW-built ombrane-batch.
#
# Usage: scripts/wine-tests.sh [build-dir]     (default: build/windows)
# Works on a fresh Debian machine as root: missing packages are installed.
# Prints one line per check and "N passed, M failed"; exits non-zero on any
# failure.
set -u

ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=${1:-$ROOT/build/windows}
. "$ROOT/scripts/wine-harness.sh"

# --- packages ---------------------------------------------------------------
"$ROOT/scripts/install-deps.sh" --wine-tests || { fail "packages installed"; finish; }

# --- build ------------------------------------------------------------------
mkdir -p "$BUILD"
if ! OMBRANE_BUILD_TESTS=1 timeout 1800 "$ROOT/scripts/build-windows.sh" "$BUILD" >"$BUILD/wine-build.log" 2>&1; then
    tail -30 "$BUILD/wine-build.log"
    fail "Windows build"
    finish
fi
EXE=$BUILD/ombrane.exe
GDITESTS=$BUILD/ombrane-gdi-tests.exe

start_display_and_prefix ombrane-wine

# --- in-process GDI tests -----------------------------------------------------
# A test binary that printed no verdict at all never got going (Wine still
# settling in a fresh prefix): that start is tried once more. A verdict,
# passing or failing, is final.
for attempt in 1 2; do
    timeout 300 wine "$GDITESTS" >"$WORK/gdi.log" 2>&1
    gdi_status=$?
    grep -qE '^\[  (FAILED|PASSED) ' "$WORK/gdi.log" && break
    log "GDI tests printed no verdict (attempt $attempt, status $gdi_status):"
    tail -5 "$WORK/gdi.log" | sed 's/^/#   /'
done
grep -E '^\[  (FAILED|PASSED) |^paint of|^views:' "$WORK/gdi.log" | sed 's/^/# /'
check "GDI pixel tests at 1320x768 (memory DC)" test $gdi_status -eq 0

# --- the same runs as the native build -------------------------------------------
# The MinGW-built ombrane-batch runs the examples and the busy dense road for
# 20,000 steps; their dump and report bytes must match the native checksums.
OMBRANE_LAUNCHER=wine timeout 900 bash "$ROOT/tests/golden/golden.sh" \
    "$BUILD/ombrane-batch.exe" "$ROOT" >"$WORK/golden.log" 2>&1
golden_status=$?
sed 's/^/# /' "$WORK/golden.log"
check "MinGW ombrane-batch gives the native runs' bytes" test $golden_status -eq 0

# MinGW's stat numbers every file inode 0, so a run once took the report it
# had written the time before for its own groups file and refused to start.
mkdir -p "$WORK/again" && cp "$ROOT/examples/stop-and-go-wave.csv" "$WORK/again/"
again() { (cd "$WORK/again" && timeout 120 wine "$BUILD/ombrane-batch.exe" --steps 16 "$@" >/dev/null 2>&1); }
check "MinGW ombrane-batch runs again beside its own report" again stop-and-go-wave.csv
check "MinGW ombrane-batch runs a third time" again stop-and-go-wave.csv
check "MinGW ombrane-batch still refuses one file as two outputs" \
    eval '! again --measures m.csv --trajectories ./M.CSV stop-and-go-wave.csv'

# --- helpers for the running program --------------------------------------------
# The console overlaps the main window's left end; the caption is clicked
# right of it.
CAPTION_CLICK_X=700
# The program shapes its console to 40 columns.
CONSOLE_COLUMNS=40

console_count() { dump_console >/dev/null; grep -cF -- "$1" "$WORK/joined.txt"; }

client_area() {
    timeout 30 wine "$CONREAD" --client "$(winpath "$WORK/client.txt")" >/dev/null 2>&1
    read -r CX CY CW CH <"$WORK/client.txt"
}

dialogs() {       # the visible dialog boxes and their controls
    rm -f "$WORK/dialogs.txt"
    timeout 30 wine "$CONREAD" --dialogs "$(winpath "$WORK/dialogs.txt")" >/dev/null 2>&1
    cat "$WORK/dialogs.txt" 2>/dev/null
}
dialog_has() { dialogs | grep -qF -- "$1"; }

pixel() {          # x y on the screen -> "r,g,b"
    timeout 20 import -window root "$WORK/shot.png" 2>/dev/null
    timeout 20 convert "$WORK/shot.png" -format "%[fx:int(255*p{$1,$2}.r+0.5)],%[fx:int(255*p{$1,$2}.g+0.5)],%[fx:int(255*p{$1,$2}.b+0.5)]" info: 2>/dev/null
}

zone_clear() { test "$(zone_pixels)" = 0; }

zone_pixels() {    # shaded construction-zone pixels on the screen
    timeout 20 import -window root "$WORK/shot.png" 2>/dev/null
    timeout 20 convert "$WORK/shot.png" -fill black +opaque 'rgb(208,208,0)' -fill white -opaque 'rgb(208,208,0)' \
        -format '%[fx:int(mean*w*h+0.5)]' info: 2>/dev/null
}

# --- start-up ---------------------------------------------------------------
start_program "$BUILD" '^Ombrane 0\.8 - ' "main window appears with the run title"

check "start-up console text" console_has "Placed 50 cars in 50 groups on roadway" 15
expected_start=$'Ombrane traffic simulator 0.8\n-----------------------------\n\nSelect the Main Window then hit <Enter>\nUse File menu to open a groups.csv file\nTo Pause/Single Step: Use <spacebar>\n---------------------------------------'
check "banner, hyphens, blank line and hints come first" test "$(head -n7 "$WORK/screen.txt")" = "$expected_start"
check "console shaping succeeded (no failure lines)" test "$(grep -c 'failed \[code=' "$WORK/screen.txt")" = 0
# Moving the console with a size read before the host had resized it once
# undid the shaping on a loaded machine (80 columns again).
check "console is 40 x 1000, window 40 x 40" grep -qx 'buffer 40 1000' "$WORK/screen.txt.info"
# Wine's console sometimes rounds the height of its window up by a row.
check "console window rectangle (0,0)-(39,39)" grep -qxE 'window 0 0 39 (39|40)' "$WORK/screen.txt.info"
grep -qx 'buffer 40 1000' "$WORK/screen.txt.info" && grep -qxE 'window 0 0 39 (39|40)' "$WORK/screen.txt.info" ||
    sed 's/^/#   console /' "$WORK/screen.txt.info"
check "console text is black on white (240)" grep -qx 'cellattribute 240' "$WORK/screen.txt.info"
check "console title and place" bash -c "grep -qx 'title Ombrane Console' '$WORK/screen.txt.info' && grep -qx 'position 0 0' '$WORK/screen.txt.info'"
check "title at start" title_matches '^Ombrane 0\.8 - Default       #\(           0\)0  x1   50 cars      ' 5

# --- Enter, Space ---------------------------------------------------------------
keys Return
check "Enter logs Resuming" console_has "Resuming" 10
check "Enter runs: the step count grows" title_matches '#\( +[1-9][0-9]*\)' 10
check "title while running keeps its format" title_matches '^Ombrane 0\.8 - Default       #\( {0,11}[0-9]{1,12}\)0  x1   50 cars      ' 5
keys space
check "Space logs the pause line" console_has "Pausing... Use <Spacebar> or <Enter>" 10
sleep 1
paused=$(step_of_title)
sleep 1.5
check "paused: the step count stands still" test "$(step_of_title)" = "$paused"
keys space
step_is() { test "$(step_of_title)" = "$1"; }
eventually 5 step_is "$((paused + 1))"
sleep 1
check "Space while paused advances exactly one step" step_is "$((paused + 1))"

# --- construction zone ------------------------------------------------------------
check "no zone shading before C" zone_clear
keys c
check "C logs the zone line" console_has "Construction Zone--Fines doubled" 10
client_area
# The zone is the middle half of row 7: about (W/2) x (H/16) pixels less lines.
expected_min=$((CW * CH / 40))
zone_shown() { shaded=$(zone_pixels); test "${shaded:-0}" -ge "$expected_min"; }
eventually 5 zone_shown
check "C shades the zone (${shaded:-0} px, at least $expected_min)" test "${shaded:-0}" -ge "$expected_min"
check "the lane lines cross the zone" test "${shaded:-0}" -lt $(((CW / 2) * (CH / 16)))
keys C
check "second C logs the end of the roadwork" console_has "Roadwork Complete--Drive Safely" 10
check "zone shading gone again" eventually 5 zone_clear

# --- Speed and Step To -------------------------------------------------------------
keys ctrl+d
dialog=$(find_window '^Enter Speed Multiplier$' 10)
check "Ctrl+D opens the Speed dialog" test -n "$dialog"
check "Speed dialog: label, field and buttons" bash -c "d=\$(cat); grep -qxF 'control|Static|&Speed:' <<<\"\$d\" && grep -qxF 'control|Edit|' <<<\"\$d\" && grep -qxF 'control|Button|OK' <<<\"\$d\" && grep -qxF 'control|Button|Cancel' <<<\"\$d\"" < <(dialogs)
xdotool type --delay 60 "25"; xdotool key Return
check "Speed 25 shows x25 in the title" title_matches '\)[0-9]+  x25   ' 10
keys ctrl+d
find_window '^Enter Speed Multiplier$' 10 >/dev/null && { xdotool type --delay 60 "0"; xdotool key Return; }
check "Speed 0 becomes 1" title_matches '\)[0-9]+  x1   ' 10
keys ctrl+d
find_window '^Enter Speed Multiplier$' 10 >/dev/null && { xdotool type --delay 40 "12345678901234567890"; xdotool key Return; }
check "the field takes 14 characters, 13 are read, the value is capped" title_matches '\)[0-9]+  x2147483647   ' 10
keys ctrl+d
find_window '^Enter Speed Multiplier$' 10 >/dev/null && { xdotool type --delay 60 "1"; xdotool key Return; }
title_matches '\)[0-9]+  x1   ' 10 || fail "Speed back to 1"

keys ctrl+t
check "Ctrl+T opens the Step To dialog" window_appears '^Enter Step Number$' 10
xdotool type --delay 60 "1,500"; xdotool key Return
check "Step To 1,500 is taken as 1500 without a question" title_matches '\)1500  x1 ' 10
check "no question for a comma" bash -c "! xdotool search --onlyvisible --name '^Do you mean\\?$' >/dev/null 2>&1"
keys ctrl+t
find_window '^Enter Step Number$' 10 >/dev/null && { xdotool type --delay 60 "15 km"; xdotool key Return; }
check "15 km asks Do you mean?" window_appears '^Do you mean\?$' 10
check "the question shows the digits 15" dialog_has "control|Static|15"
xdotool key Return
check "OK in Do you mean? sets step 15" title_matches '\)15  x1 ' 10
keys ctrl+t
find_window '^Enter Step Number$' 10 >/dev/null && xdotool key Escape
sleep 0.5
check "Cancel leaves the step target" title_matches '\)15  x1 ' 5
keys ctrl+t
find_window '^Enter Step Number$' 10 >/dev/null && { xdotool type --delay 60 "0"; xdotool key Return; }
check "Step To 0 clears the target" title_matches '\)0  x1 ' 10

# --- About box and the drag dots ----------------------------------------------------
keys alt+h a
about_shown() { about=$(dialogs); grep -qF 'Ombrane Version 0.8' <<<"$about"; }
eventually 5 about_shown
check "About box shows name, version and author line" bash -c "grep -qxF 'control|Static|Ombrane Version 0.8' <<<\"\$0\" && grep -qxF 'control|Static|Ombrane traffic simulator 0.8' <<<\"\$0\" && grep -qxF 'control|Static|Ombrane' <<<\"\$0\"" "$about"
xdotool key Escape
sleep 0.5
check "Escape does not close the About box" dialog_has "control|Static|Ombrane Version 0.8"
xdotool key Return
about_gone() { ! dialog_has 'Ombrane Version 0.8'; }
check "OK closes the About box" eventually 5 about_gone

client_area
focus_main
drag_y=$((CY + CH * 486 / 768))
xdotool mousemove $((CX + 400)) "$drag_y" mousedown 1
for x in 420 440 460 480 500; do xdotool mousemove $((CX + x)) "$drag_y"; sleep 0.05; done
pixel_is() { test "$(pixel "$1" "$2")" = "$3"; }
check "dragging leaves black dots" eventually 5 pixel_is $((CX + 460)) "$drag_y" "0,0,0"
xdotool mouseup 1
check "releasing the button repaints them away" eventually 5 pixel_is $((CX + 460)) "$drag_y" "255,255,255"

# --- help -------------------------------------------------------------------------
keys F1
check "F1 prints the help file" console_has "OMBRANE 0.8 - TRAFFIC ON A RING ROAD" 10
check "the help file is printed to its end" console_has "End of help." 10
check "help: a percent sign prints as itself" grep -qF "(100%" "$WORK/joined.txt"
check "help: comment lines are skipped" bash -c "! grep -qF 'Ombrane help file' '$WORK/screen.txt'"
# Every line of the help file fits the console, so each shows as written;
# breaking a longer one at its last blank is tested natively (HelpChunks).
check "help: a line of the help file shows as written" grep -qxF "drive round a closed road of 4 lanes" "$WORK/screen.txt"

# --- opening a groups file ------------------------------------------------------------
mkdir -p "$WORK/data"
cp "$ROOT/tests/wine/two-groups.csv" "$WORK/data/two-groups.csv"
check "Ctrl+O opens the file dialog" open_file "$WORK/data/two-groups.csv"
check "the file is read" console_has "Read 2 groups from $(winpath "$WORK/data/two-groups.csv")" 15
check "its cars are placed" console_has "Placed 20 cars in 2 groups on roadway" 10
check "title names the groups file" title_matches '^Ombrane 0\.8 - two-groups\.csv       #\(           0\)0  x1   20 cars' 10

# --- inspection (paused at step 0: car 0 stands at 0 ft in lane 0) ----------------------
client_area
car_x=$((CX + CW * 9 / 1320))
car_y=$((CY + CH * 43 / 768))
focus_main
xdotool mousemove "$car_x" "$car_y" click 1
check "a click on a car prints its report" console_has "CAR NUMBER 0 Group 0" 10
check "the car report ends with the hyphen line" grep -qxF -- "-----------------------------------" "$WORK/screen.txt"
focus_main
xdotool mousemove "$car_x" "$car_y" keydown shift click 1 keyup shift
check "a Shift-click prints the group report" console_has "GROUP NUMBER: 0" 10
check "the group report names the colour" grep -qxF "color (Z)=Red" "$WORK/screen.txt"
before=$(console_count "Car NOT_FOUND")
focus_main
xdotool mousemove $((CX + CW / 2)) $((CY + CH * 200 / 768)) click 1
more_not_found() { test "$(console_count "Car NOT_FOUND")" -gt "$before"; }
check "a click beside the cars finds none" eventually 10 more_not_found

# --- the report file grows while running ------------------------------------------------
keys Return
report="$WORK/data/two-groups.report.csv"
report_size() { stat -c %s "$report" 2>/dev/null || echo 0; }
report_started() { size1=$(report_size); test "$size1" -gt 0; }
report_grown() { size2=$(report_size); test "$size2" -gt "$size1"; }
size2=0
check "the report file is started" eventually 10 report_started
# A report period is 80 steps, five seconds at 16 steps a second.
check "the report file grows every period" eventually 15 report_grown
log "report file: $size1 -> $size2 bytes"

# --- going back ------------------------------------------------------------------------
step_past() { test "$(step_of_title)" -ge "$1"; }
eventually 30 step_past 300
keys space
sleep 1
paused=$(step_of_title)
keys BackSpace
check "Backspace lowers the title's step by 80" eventually 5 step_is "$((paused - 80))"
check "going back is logged" console_has "Back to step $((paused - 80))" 10
check "the report file is cut" console_has "report file cut after" 10
keys Return
check "Enter runs on after going back" eventually 20 step_past "$((paused + 100))"
keys space
times_once() { tail -n +2 "$report" | cut -d, -f2 | sort | uniq -d | grep -q . && return 1; test -s "$report"; }
check "the report file has no time twice" times_once
keys ctrl+b
check "Ctrl+B opens the Back to Step dialog" window_appears '^Back to Step$' 10
xdotool type --delay 60 "160"; xdotool key Return
check "Back to Step 160 shows step 160" eventually 5 step_is 160
check "and logs it" console_has "Back to step 160" 10
keys ctrl+b
find_window '^Back to Step$' 10 >/dev/null && { xdotool type --delay 60 "99999"; xdotool key Return; }
check "a step not reached is refused on the console" console_has "Cannot go back to step 99999: the run is at step 160" 10
check "and the step stays" step_is 160

keys Return

# --- live views -------------------------------------------------------------------------
# A view lies over the main window and is raised before it is looked at; the
# picture left of its key is what counts (the key shows every colour itself).
view_shot() {      # window
    xdotool windowraise "$1"
    sleep 0.5
    timeout 20 import -window "$1" "$WORK/view.png" 2>/dev/null
    local w h
    w=$(identify -format %w "$WORK/view.png" 2>/dev/null || echo 200)
    h=$(identify -format %h "$WORK/view.png" 2>/dev/null || echo 200)
    convert "$WORK/view.png" -crop "$((w - 100))x$((h - 90))+0+50" +repage "$WORK/plot.png" 2>/dev/null
}
# A dot of the speed scale: no blue, full red or green.
SCALE_DOT='(b == 0 && (r == 1 || g == 1)) ? 1 : 0'
scale_pixels() {   # window -> dots of the speed scale
    view_shot "$1"
    convert "$WORK/plot.png" -fx "$SCALE_DOT" \
        -format '%[fx:int(mean*w*h+0.5)]' info: 2>/dev/null
}
colour_pixels() {  # window, colour -> pixels of exactly that colour
    view_shot "$1"
    convert "$WORK/plot.png" -fill black +opaque "$2" -fill white -opaque "$2" \
        -format '%[fx:int(mean*w*h+0.5)]' info: 2>/dev/null
}
focus_view() { xdotool windowraise "$1"; sleep 0.3; xdotool mousemove --window "$1" 300 8 click 1; sleep 0.4; }
# The diagram's dots as a mask (white where a dot is) and the lane's name
# above the plot, for comparing one lane's picture with another's.
lane_picture() {   # name -> $WORK/NAME.mask.png, $WORK/NAME.label.png
    view_shot "$SPACETIME"
    convert "$WORK/plot.png" -fx "$SCALE_DOT" "$WORK/$1.mask.png" 2>/dev/null
    convert "$WORK/view.png" -crop 200x16+50+42 +repage "$WORK/$1.label.png" 2>/dev/null
}
same_image() {     # a, b: not one pixel differs
    test "$(compare -metric AE "$1" "$2" null: 2>&1)" = 0
}

# The menu resource itself (order, items, keys) is checked by the GDI tests.
keys alt+v s
SPACETIME=$(find_window '^Space-Time Diagram$' 10)
check "View > Space-Time Diagram opens it" test -n "$SPACETIME"
keys ctrl+2
CHART=$(find_window '^Speed Chart$' 10)
check "Ctrl+2 opens the Speed Chart" test -n "$CHART"
check "the main window keeps its title" title_matches '^Ombrane 0\.8 - two-groups\.csv       #\( +[0-9]+\)0  x1   20 cars' 5
if [ -n "$SPACETIME" ] && [ -n "$CHART" ]; then
    dots_shown() { dots=$(scale_pixels "$SPACETIME"); test "${dots:-0}" -ge 20; }
    check "the diagram shows dots in the scale's colours" eventually 20 dots_shown
    red_line() { red=$(colour_pixels "$CHART" 'rgb(255,0,0)'); test "${red:-0}" -ge 10; }
    check "the chart shows a line in group 0's colour" eventually 30 red_line
    log "diagram dots: ${dots:-0} px, group 0's line: ${red:-0} px"

    keys space
    sleep 1.5
    focus_view "$SPACETIME"
    # Early in a run the lanes' cars share stretches of road, so lane 2's dots
    # can all fall on pixels lane 1 already fills: a count of dots cannot tell
    # all lanes from lane 1. Every lane's picture is taken instead (the dots as
    # a mask, and the name above the plot, which shows a key was taken), and
    # all lanes must be exactly the four together.
    lane_picture 1
    # A key can reach the view before its focus does: each try focuses the
    # view and presses the key again (choosing a lane twice changes nothing).
    press_in_view() { focus_view "$SPACETIME"; xdotool key "$1"; }
    shown_after() {    # key, picture shown before it: the name changes
        press_in_view "$1"
        lane_picture "$1"
        ! same_image "$WORK/$1.label.png" "$WORK/$2.label.png"
    }
    other_lanes() {
        eventually 5 shown_after 2 1 && eventually 5 shown_after 3 2 && eventually 5 shown_after 4 3 &&
            ! same_image "$WORK/4.label.png" "$WORK/1.label.png"
    }
    check "2, 3 and 4 show the other lanes" other_lanes
    every_lane() {
        convert "$WORK/1.mask.png" "$WORK/2.mask.png" "$WORK/3.mask.png" "$WORK/4.mask.png" \
            -background black -compose Lighten -flatten "$WORK/union.mask.png" 2>/dev/null &&
            eventually 5 shown_after a 4 && same_image "$WORK/a.mask.png" "$WORK/union.mask.png" &&
            ! same_image "$WORK/a.label.png" "$WORK/1.label.png"
    }
    check "A shows every lane: its dots are lanes 1 to 4's together" every_lane
    focus_view "$SPACETIME"
    lane1_again() { press_in_view 1; lane_picture again; same_image "$WORK/again.mask.png" "$WORK/1.mask.png"; }
    check "1 brings back lane 1's picture" eventually 5 lane1_again

    # A click on the diagram goes back to the time drawn there: a column near
    # the newest (the plot ends 76 px left of the client's right edge).
    w=$(identify -format %w "$WORK/view.png" 2>/dev/null || echo 760)
    h=$(identify -format %h "$WORK/view.png" 2>/dev/null || echo 520)
    backs=$(console_count "Back to step")
    focus_view "$SPACETIME"
    xdotool mousemove --window "$SPACETIME" $((w - 76 - 4 - 3)) $((h / 2)) click 1
    went_back() { test "$(console_count "Back to step")" -gt "$backs"; }
    check "a click on the diagram goes back to its time" eventually 10 went_back
    back_step=$(grep -o 'Back to step [0-9]*' "$WORK/joined.txt" | tail -n1 | grep -o '[0-9]*$')
    check "to a sampled step (${back_step:-none})" test $((${back_step:-1} % 16)) = 0
    check "the title shows that step" title_matches "#\( +${back_step:-x}\)" 10

    focus_view "$SPACETIME"
    xdotool key alt+F4
    check "closing the diagram hides it" no_window '^Space-Time Diagram$' 3
    check "the program goes on" kill -0 "$APP_PID"
    keys ctrl+1
    check "Ctrl+1 shows it again" test "$(find_window '^Space-Time Diagram$' 10)" = "$SPACETIME"
    focus_view "$SPACETIME"
    xdotool key alt+F4
    focus_view "$CHART"
    xdotool key alt+F4
    check "closing the chart hides it" no_window '^Speed Chart$' 3
    keys Return
fi

keys ctrl+n
check "Ctrl+N forgets the file name in the title" title_matches '^Ombrane 0\.8 - Default       #\( +[0-9]+\)0  x1   20 cars' 10

# --- refused names ----------------------------------------------------------------------
cp "$WORK/data/two-groups.csv" "$WORK/data/old.report.csv"
open_file "$WORK/data/old.report.csv"
box=$(find_window '^Ombrane$' 10)
check "a report file is refused with a warning box" test -n "$box"
check "the warning names the file" dialog_has "old.report.csv looks like a report-file"
[ -n "$box" ] && xdotool key Return
sleep 0.5

# --- a character the console cannot show ---------------------------------------------------
cp "$ROOT/tests/wine/odd-colour.csv" "$WORK/data/odd-colour.csv"
open_file "$WORK/data/odd-colour.csv"
check "an unknown colour is logged, unprintable bytes as ?" console_has ">> Color Name R?d is unknown.  Using Black" 15

# --- restart ------------------------------------------------------------------------------
banners=$(console_count "Ombrane traffic simulator 0.8")
keys ctrl+r
check "Ctrl+R restarts with the default groups" title_matches '^Ombrane 0\.8 - Default       #\(           0\)[0-9]+  x1   50 cars' 10
check "restart prints the banner again" test "$(console_count "Ombrane traffic simulator 0.8")" -gt "$banners"
check "restart pauses the run" bash -c "s1=\$(xdotool getwindowname $MAIN); sleep 1.5; test \"\$s1\" = \"\$(xdotool getwindowname $MAIN)\""

keys ctrl+s
check "Ctrl+S shows the save name without a file" window_appears '^Ombrane$' 10
check "the save name is formed from Default.csv" dialog_has "control|Static|SAVE to Default.0(0.8).omb coming soon"
xdotool key Return
sleep 0.5

# --- exit ---------------------------------------------------------------------------------
keys alt+f x
check "File > Exit ends the program" program_ends 10
APP_PID=

finish
