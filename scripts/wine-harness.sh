# shellcheck shell=bash
# Shared by the Wine end-to-end scripts, which source it after setting ROOT
# and BUILD. They set EXE (the program under test) after their build, and
# CAPTION_CLICK_X and CONSOLE_COLUMNS before they drive the program.

PASSED=0
FAILED=0
CONREAD=$BUILD/ombrane-conread.exe

log() { echo "# $*"; }
pass() { echo "ok   - $1"; PASSED=$((PASSED + 1)); }
fail() { echo "FAIL - $1"; FAILED=$((FAILED + 1)); }
check() {
    local name=$1
    shift
    if "$@"; then pass "$name"; else fail "$name"; fi
}
finish() {
    echo "$PASSED passed, $FAILED failed"
    [ "$FAILED" -eq 0 ] && [ "$PASSED" -gt 0 ]
    exit $?
}

# --- display and Wine prefix --------------------------------------------------
. "$ROOT/scripts/display.sh"
APP_PID=
cleanup() {
    [ -n "${WINEPREFIX:-}" ] && timeout 20 wineserver -k >/dev/null 2>&1
    [ -n "$APP_PID" ] && kill "$APP_PID" 2>/dev/null
    stop_display
    rm -rf "$WORK"
}

start_display_and_prefix() {    # name of the work folder under /tmp
    WORK=$(mktemp -d "/tmp/$1.XXXXXX")
    trap cleanup EXIT
    trap 'exit 1' INT TERM

    start_xvfb "$WORK/xvfb.log" || { fail "Xvfb started"; finish; }
    prepare_prefix "$WORK/prefix"
}

# Exports WINEPREFIX as a fresh copy, in the folder given, of the prepared
# prefix kept in the build tree, which is made first if need be.
prepare_prefix() { # folder for the copy
    export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" WINEARCH=win64

    # One initialised prefix is kept in the build tree; every run works on a
    # copy. The lock keeps another script from copying it while it is made.
    local template=$BUILD/wineprefix
    exec 9>"$BUILD/wineprefix.lock"
    flock -w 600 9 || { fail "Wine prefix lock"; finish; }
    if [ ! -f "$template/.ombrane-ready" ]; then
        log "initialising $template"
        rm -rf "$template"
        export WINEPREFIX=$template
        timeout 300 wineboot -i >/dev/null 2>&1
        # Without a window manager Wine must draw the frames and move the focus.
        timeout 60 wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
        timeout 60 wine reg add 'HKCU\Software\Wine\X11 Driver' /v UseTakeFocus /d N /f >/dev/null 2>&1
        timeout 60 wineserver -w
        touch "$template/.ombrane-ready"
    fi
    cp -a "$template" "$1"
    flock -u 9
    link_wine_fonts "$1"
    export WINEPREFIX=$1
}

winpath() { echo "Z:${1//\//\\}"; }

# --- helpers for the running program --------------------------------------------
MAIN=
title() { xdotool getwindowname "$MAIN" 2>/dev/null; }
step_of_title() { title | sed -n 's/.*#( *\(-\{0,1\}[0-9]*\)).*/\1/p'; }

title_matches() {  # extended regex, seconds
    local i
    for i in $(seq $(($2 * 4))); do
        title | grep -qE -- "$1" && return 0
        sleep 0.25
    done
    return 1
}

find_window() {    # pattern, seconds -> window id
    local i id
    for i in $(seq $(($2 * 5))); do
        id=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n1)
        [ -n "$id" ] && { echo "$id"; return 0; }
        sleep 0.2
    done
    return 1
}

window_appears() { find_window "$@" >/dev/null; }

# A loaded machine may take a while to show what a key or click did; a state
# that must come is waited for, not slept for.
eventually() {     # seconds, command...
    local i tries=$(($1 * 4))
    shift
    for i in $(seq "$tries"); do
        "$@" && return 0
        sleep 0.25
    done
    return 1
}

no_window() {      # pattern, seconds: none appears in that time
    ! find_window "$1" "$2" >/dev/null
}

# screen.txt holds the console rows; joined.txt the same with the rows that
# the console wrapped joined again, for messages longer than a row. A row as
# wide as CONSOLE_COLUMNS was wrapped; 0, for a console whose width the
# program leaves to Wine, joins every row into one line.
dump_console() {
    rm -f "$WORK/screen.txt"
    timeout 30 wine "$CONREAD" "$(basename "$EXE")" "$(winpath "$WORK/screen.txt")" >/dev/null 2>&1
    [ -f "$WORK/screen.txt" ] || return 1
    awk -v cols="$CONSOLE_COLUMNS" '{ printf "%s", $0; if (length($0) < cols) printf "\n" } END { printf "\n" }' \
        "$WORK/screen.txt" >"$WORK/joined.txt"
}

console_has() {    # text, seconds
    local i
    for i in $(seq "${2:-10}"); do
        dump_console && grep -qF -- "$1" "$WORK/joined.txt" && return 0
        sleep 1
    done
    return 1
}

# The program runs in the background so that the script can drive it; its
# window must show up before anything else can be checked.
start_program() {  # folder to run in, title pattern, name of the check
    cd "$1" || exit 1
    timeout 600 wine "$EXE" >"$WORK/$(basename "$EXE" .exe).out" 2>&1 &
    APP_PID=$!
    MAIN=$(find_window "$2" 30)
    check "$3" test -n "$MAIN"
    [ -n "$MAIN" ] || finish
}

# A click on the caption activates and raises the main window without
# inspecting a car.
focus_main() {
    xdotool mousemove --window "$MAIN" "$CAPTION_CLICK_X" 8 click 1
    sleep 0.4
}

keys() { focus_main; xdotool key --delay 80 "$@"; sleep 0.4; }

# Ctrl+O, then the path typed into the file dialog and Return. Returns 1,
# typing nothing, when no Open dialog came up.
open_file() {      # path on this machine
    keys ctrl+o
    find_window '^Open$' 15 >/dev/null || return 1
    xdotool type --delay 40 "$(winpath "$1")"
    xdotool key Return
    sleep 0.5
}

program_ends() {   # seconds
    for _ in $(seq $(($1 * 4))); do
        kill -0 "$APP_PID" 2>/dev/null || break
        sleep 0.25
    done
    ! kill -0 "$APP_PID" 2>/dev/null
}

# --- the Groups window ------------------------------------------------------------
grid() {           # the list view's rows, cells split by "|", into $WORK/list.txt
    rm -f "$WORK/list.txt"
    timeout 30 wine "$CONREAD" --list "$(winpath "$WORK/list.txt")" >/dev/null 2>&1
    [ -s "$WORK/list.txt" ]
}
row_of() { grid && grep -v '^rect|' "$WORK/list.txt" | grep "^$1|"; }
cell_of() { row_of "$1" | cut -d'|' -f$(($2 + 1)); }     # group, column number (0 the group)
row_is() { test "$(row_of "$1")" = "$2"; }
cell_is() { test "$(cell_of "$1" "$2")" = "$3"; }

# Row 0's cell rectangles in screen coordinates; row 1 lies one row lower.
cell_point() {     # row, column -> "x y" of the cell's middle
    local l t r b
    read -r l t r b < <(grep "^rect|0|$2|" "$WORK/list.txt" | cut -d'|' -f4)
    echo $(((l + r) / 2)) $(((t + b) / 2 + $1 * (b - t)))
}
# A click on the main window raises it over the windows it owns: Ctrl+3
# brings the Groups window back to the top, as a user would.
focus_groups() { keys ctrl+3; sleep 0.5; }
# The console wraps at 40 columns wherever a line is long: its text is
# compared without blanks and line ends.
flat() { tr -d ' \n' <"$WORK/joined.txt"; }
said() {           # text, seconds
    local i want=${1// /}
    for i in $(seq "${2:-10}"); do
        dump_console && flat | grep -qF -- "$want" && return 0
        sleep 1
    done
    return 1
}
edit_cell() {      # row, column, text: double-click, select all, type, Return
    grid
    local x y
    read -r x y < <(cell_point "$1" "$2")
    focus_groups
    xdotool mousemove "$x" "$y" click --repeat 2 --delay 80 1
    sleep 0.6
    xdotool key End shift+Home BackSpace
    xdotool type --delay 60 "$3"
    xdotool key Return
    sleep 0.8
}
