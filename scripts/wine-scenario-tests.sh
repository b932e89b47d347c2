#!/bin/bash
# The window and ombrane-batch give the same run: ombrane.exe under Wine is
# driven through a session (a speed multiplier, Step To, group edits in the
# Groups window, the zone switched with C, a Backspace that undoes an edit),
# saved with File > Save Scenario As, and the native ombrane-batch runs the
# saved file into a report file identical to the window's. Then the window
# opens a scenario of timed events, runs past them at multiplier 7, logs
# each event, and its report file is ombrane-batch's for the same scenario.
#
# Usage: scripts/wine-scenario-tests.sh [build-dir [ombrane-batch]]
#        (default: build/windows and build/native/ombrane-batch)
# Prints one line per check and "N passed, M failed"; exits non-zero on any
# failure.
set -u

ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=${1:-$ROOT/build/windows}
BATCH=${2:-$ROOT/build/native/ombrane-batch}
. "$ROOT/scripts/wine-harness.sh"

"$ROOT/scripts/install-deps.sh" --wine-tests || { fail "packages installed"; finish; }
mkdir -p "$BUILD"
if ! timeout 1800 "$ROOT/scripts/build-windows.sh" "$BUILD" ombrane ombrane-conread >"$BUILD/wine-scenario-build.log" 2>&1; then
    tail -30 "$BUILD/wine-scenario-build.log"
    fail "Windows build"
    finish
fi
if [ ! -x "$BATCH" ]; then
    (cd "$ROOT" && cmake --preset native >/dev/null && cmake --build build/native -j2 --target ombrane-batch) \
        >"$BUILD/wine-scenario-batch.log" 2>&1 || { fail "native ombrane-batch built"; finish; }
fi
EXE=$BUILD/ombrane.exe
CAPTION_CLICK_X=700
CONSOLE_COLUMNS=40

start_display_and_prefix ombrane-scenario
DATA=$WORK/data
mkdir -p "$DATA"
cp "$ROOT/tests/wine/two-groups.csv" "$DATA/two-groups.csv"
start_program "$DATA" '^Ombrane 0\.8' "ombrane.exe starts"

# Column numbers of the grid: # Z A B C D E F G H I ...
A=2
I=10

step_is() { test "$(step_of_title)" = "$1"; }
number_dialog() {  # keys, dialog title, number
    keys "$1"
    find_window "$2" 10 >/dev/null || return 1
    xdotool type --delay 60 "$3"
    xdotool key Return
    sleep 0.4
}
# Runs on to a step and waits for the run to stop there.
run_to() {
    number_dialog ctrl+t '^Enter Step Number$' "$1"
    keys Return
    eventually 60 step_is "$1"
}
same_file() { cmp -s "$1" "$2"; }

# --- a session saved as a scenario ---------------------------------------------------
number_dialog ctrl+d '^Enter Speed Multiplier$' 8
open_file "$DATA/two-groups.csv"
check "the groups file is read" console_has "Placed 20 cars in 2 groups on roadway" 15
check "the run stops at step 400" run_to 400
keys ctrl+3
edit_cell 1 $A 20
check "an edit at step 400" said "Step 400: group 1 desired speed A 50 -> 20" 10
check "the run stops at step 1040" run_to 1040
keys C
check "C at step 1040" console_has "Construction Zone--Fines doubled" 10
edit_cell 0 $I 3
check "an edit at step 1040" said "Step 1040: group 0 right policy I 1 -> 3" 10
check "the run stops at step 1600" run_to 1600
keys C
edit_cell 1 $A 35.5
check "an edit at step 1600" said "Step 1600: group 1 desired speed A 20 -> 35.5" 10
check "the run stops at step 1840" run_to 1840
edit_cell 0 $A 40
check "an edit at step 1840" said "Step 1840: group 0 desired speed A 60 -> 40" 10
keys BackSpace
check "Backspace goes back before it" console_has "Back to step 1760" 10
check "the run stops at step 2000" run_to 2000

SAVED=$DATA/session.scenario
keys ctrl+shift+s
if find_window '^Save Scenario As$' 10 >/dev/null; then
    xdotool type --delay 40 "$(winpath "$SAVED")"
    xdotool key Return
fi
check "Ctrl+Shift+S saves the scenario" said "session.scenario at step 2000" 15
check "nothing of the session is left out" bash -c "! grep -qF 'Notinthescenario' <(tr -d ' \n' <'$WORK/joined.txt')"
log "saved: $(grep -c '^at ' "$SAVED" 2>/dev/null) events"
check "the edit undone by going back is not in it" bash -c "! grep -q 'group 0 A = 40' '$SAVED'"
check "the file holds the session" grep -qxF "at step 1600 group 1 A = 35.5" "$SAVED"
cp "$DATA/two-groups.report.csv" "$WORK/window-session.report.csv"
(cd "$DATA" && "$BATCH" --quiet --multiplier 8 session.scenario >"$WORK/batch-session.out" 2>&1)
check "ombrane-batch runs the saved scenario" test -s "$DATA/session.report.csv"
check "its report file is the window's, byte for byte" \
    same_file "$WORK/window-session.report.csv" "$DATA/session.report.csv"
log "report: $(wc -l <"$WORK/window-session.report.csv") lines"

# --- a scenario of events in the window at multiplier 7 -------------------------------------
cat >"$DATA/events.scenario" <<'END'
# the zone and a speed limit, at steps no tick of 7 starts at
groups = two-groups.csv
steps = 1203
at 0:20 zone on
at step 401 group 1 A = 25
at 0:50 zone off
END
number_dialog ctrl+d '^Enter Speed Multiplier$' 7
open_file "$DATA/events.scenario"
check "the scenario is opened" console_has "Placed 20 cars in 2 groups on roadway" 15
check "the run stops at the scenario's last step" run_to 1203
check "the zone event is logged" said "Step 320: zone on" 10
check "the group event is logged" said "Step 401: group 1 A = 25" 10
check "the zone goes off" said "Step 800: zone off" 10
cp "$DATA/events.report.csv" "$WORK/window-events.report.csv"
mkdir -p "$WORK/batch"
cp "$DATA/two-groups.csv" "$DATA/events.scenario" "$WORK/batch/"
(cd "$WORK/batch" && "$BATCH" --multiplier 7 events.scenario >"$WORK/batch-events.out" 2>&1)
check "ombrane-batch logs the same events" \
    bash -c "grep -c '^Step \(320: zone on\|401: group 1 A = 25\|800: zone off\)' '$WORK/batch-events.out' | grep -qx 3"
check "the window's report file is ombrane-batch's, byte for byte" \
    same_file "$WORK/window-events.report.csv" "$WORK/batch/events.report.csv"

keys alt+f x
check "File > Exit ends the program" program_ends 10
APP_PID=
finish
