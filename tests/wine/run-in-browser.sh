#!/bin/bash
# The run command without a display: scripts/run.sh must serve the virtual
# display to a web browser on this machine only, show the main window
# there, and on Ctrl+C end everything it started. A real browser, Chromium
# headless, opens the printed address and checks what a user would see
# (tests/wine/browser-view.js).
#
# Usage: tests/wine/run-in-browser.sh [build-dir]     (default: build/windows)
#   OMBRANE_SCREENSHOT=docs/browser-view.png keeps the browser's screenshot
#   there (how the user documentation's picture is made).
# Prints one line per check and "N passed, M failed"; exits non-zero on any
# failure.
set -u

ROOT=$(cd "$(dirname "$0")/../.." && pwd)
BUILD=${1:-$ROOT/build/windows}
. "$ROOT/scripts/wine-harness.sh"

for tool in curl vncsnapshot convert xdotool ss node chromium; do
    command -v "$tool" >/dev/null 2>&1 || { echo "missing $tool (scripts/install-deps.sh installs it)"; fail "tools present"; finish; }
done

WORK=$(mktemp -d /tmp/ombrane-run-web.XXXXXX)
# Every process the run command starts inherits this variable, which is how
# the leftovers are found: Wine's own server and services included.
MARK=OMBRANE_RUN_CHECK=$$.$RANDOM
RUN_PID=
HOLDER_PID=

started_by_run() { # ids of the live processes that carry MARK
    grep -lsxzF -- "$MARK" /proc/[0-9]*/environ | sed 's#^/proc/\([0-9]*\)/environ$#\1#'
}
run_cleanup() {
    [ -n "$HOLDER_PID" ] && kill "$HOLDER_PID" 2>/dev/null
    [ -n "$RUN_PID" ] && kill -TERM "$RUN_PID" 2>/dev/null && sleep 5
    local pid
    for pid in $(started_by_run); do kill -KILL "$pid" 2>/dev/null; done
    rm -rf "$WORK"
}
trap run_cleanup EXIT
trap 'exit 1' INT TERM

# What the run command builds is built first: on a fresh checkout its build
# of ombrane-desk took both processors while the browser had 30 s to connect.
"$ROOT/scripts/build-windows.sh" "$BUILD" ombrane ombrane-legacy ombrane-desk >"$WORK/build.log" 2>&1 ||
    { tail -20 "$WORK/build.log"; fail "Windows build"; finish; }

# A copy of the Wine tests' prepared prefix, already set for a display
# without a window manager.
prepare_prefix "$WORK/prefix" >/dev/null
touch "$WINEPREFIX/.ombrane-unmanaged"
port=$((6180 + RANDOM % 500))

# Job control gives the run command a process group of its own, as a
# terminal would, so that Ctrl+C can be sent to that group.
start_run() {
    set -m
    env -u DISPLAY "$MARK" OMBRANE_WEB_PORT=$port OMBRANE_WIN_BUILD="$BUILD" \
        bash "$ROOT/scripts/run.sh" >"$WORK/run.out" 2>&1 &
    RUN_PID=$!
    set +m
}

ended() { ! kill -0 "$RUN_PID" 2>/dev/null; }
nothing_left() { leftover=$(started_by_run); [ -z "$leftover" ]; }
show_leftover() {
    [ -n "${leftover:-}" ] && ps -o pid,args -p "$(tr '\n' ',' <<<"$leftover" | sed 's/,$//')" | sed 's/^/#   /'
}

# Waits for the address that the run command prints, and reads the web and
# VNC ports and the display from its output.
wait_for_address() {
    url=
    for _ in $(seq 600); do
        url=$(grep -o 'http://localhost:[0-9]*/vnc.html?[^ ]*' "$WORK/run.out" | head -n1)
        [ -n "$url" ] && break
        kill -0 "$RUN_PID" 2>/dev/null || break
        sleep 0.5
    done
    web_port=$(sed 's/.*localhost:\([0-9]*\)\/.*/\1/' <<<"$url")
    vnc_port=$(sed -n 's/.*VNC viewers: localhost:\([0-9]*\)\..*/\1/p' "$WORK/run.out")
    DISPLAY=$(sed -n 's/.*the virtual display \(:[0-9]*\)\..*/\1/p' "$WORK/run.out")
    export DISPLAY
    [ -n "$url" ]
}

# Another program holds the first port: the next free one is taken.
node -e "require('net').createServer().listen($port, '127.0.0.1')" &
HOLDER_PID=$!
eventually 10 bash -c "(exec 3<>/dev/tcp/127.0.0.1/$port) 2>/dev/null"

start_run
wait_for_address
check "the run command prints the address to open" test -n "$url"
[ -n "$url" ] || { sed 's/^/#   /' "$WORK/run.out"; finish; }
log "$url"
check "a port taken by another program is passed over" test "$web_port" -gt "$port"
check "the address opens the view scaled to the browser window" grep -q 'resize=scale' <<<"$url"

check "noVNC's page is served" bash -c "curl -fsS '${url/localhost/127.0.0.1}' | grep '<title>noVNC</title>' >/dev/null"
# Local addresses of what listens on a port, one a line.
listening_on() { ss -Hltn "sport = :$1" | awk '{ print $4 }' | sed 's/:[0-9]*$//'; }
loopback_only() { local a; a=$(listening_on "$1"); [ -n "$a" ] && ! grep -qvE '^(127\.0\.0\.1|\[::1\])$' <<<"$a"; }
check "the web view listens on 127.0.0.1 only" loopback_only "$web_port"
check "the VNC server listens on 127.0.0.1 only" loopback_only "$vnc_port"
rfb_banner() { exec 3<>"/dev/tcp/127.0.0.1/$vnc_port" && head -c 12 <&3; exec 3<&-; }
check "the VNC server answers with its RFB banner" test "$(rfb_banner)" = "RFB 003.008"

MAIN=$(find_window '^Ombrane 0\.8 - ' 60)
check "the main window is shown on the virtual display" test -n "$MAIN"

# The road is white: through the VNC server the window's middle must look
# white, and the bare screen beside it black.
white_share() {    # x y w h in the VNC screenshot -> percent of white pixels
    convert "$WORK/vnc.jpg" -crop "$3x$4+$1+$2" +repage -fuzz 10% -fill black +opaque white \
        -format '%[fx:int(100*mean+0.5)]' info: 2>/dev/null
}
shown_through_vnc() {
    rm -f "$WORK/vnc.jpg"
    timeout 30 vncsnapshot -quiet "127.0.0.1::$vnc_port" "$WORK/vnc.jpg" >/dev/null 2>&1 || return 1
    eval "$(xdotool getwindowgeometry --shell "$MAIN")"
    inside=$(white_share $((X + WIDTH / 4)) $((Y + HEIGHT / 4)) $((WIDTH / 2)) $((HEIGHT / 2)))
    outside=$(white_share 1590 990 10 10)
    [ "${inside:-0}" -ge 80 ] && [ "${outside:-100}" -le 5 ]
}
[ -n "$MAIN" ] && check "a screenshot through the VNC server shows the window" eventually 20 shown_through_vnc
log "white in the window's middle: ${inside:-?} %, in the screen's corner: ${outside:-?} %"

# The first look in a real browser.
browser_checks() { # arguments of browser-view.js
    local out=$WORK/browser$#.out status=0
    node "$ROOT/tests/wine/browser-view.js" "$@" >"$out" 2>&1 || status=$?
    while IFS= read -r line; do
        case $line in
            "ok   - "*) pass "${line#ok   - }" ;;
            "FAIL - "*) fail "${line#FAIL - }" ;;
            "# "*) log "browser: ${line#\# }" ;;
        esac
    done <"$out"
    if [ "$status" != 0 ] && ! grep -q '^FAIL' "$out"; then
        fail "the browser checks ended with status $status"
        sed 's/^/#   /' "$out"
    fi
}
if [ -n "$MAIN" ]; then
    browser_checks "$url" "$WORK/browser-view.png" "$MAIN"
    [ -n "${OMBRANE_SCREENSHOT:-}" ] && [ -f "$WORK/browser-view.png" ] && cp "$WORK/browser-view.png" "$OMBRANE_SCREENSHOT"
    check "the run command's console says a browser has connected" \
        grep -q '^A browser has connected to the view\.' "$WORK/run.out"

    # A browser that cannot reach the display behind the page: the VNC
    # server has gone.
    vnc_server=$(ps -o pid=,comm= --ppid "$RUN_PID" | awk '$2 == "x11vnc" { print $1 }')
    check "the VNC server is found to stop it" test -n "$vnc_server"
    [ -n "$vnc_server" ] && kill "$vnc_server"
    browser_checks --cannot-connect "$url"
    says_cannot_connect() { grep -q '^A browser could not connect: ' "$WORK/run.out"; }
    check "the run command's console says why a browser could not connect" eventually 10 says_cannot_connect
    grep '^A browser could not connect' "$WORK/run.out" | head -n1 | sed 's/^/# /'
fi

before=$(started_by_run | wc -l)
kill -INT -- -"$RUN_PID"
check "Ctrl+C ends the run command" eventually 60 ended
ended && RUN_PID=
check "nothing it started is left after Ctrl+C ($before processes before)" eventually 20 nothing_left
show_leftover
closed() { ! (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null; }
check "the web and VNC ports are closed again" bash -c "$(declare -f closed); closed $web_port && closed $vnc_port"
kill "$HOLDER_PID" 2>/dev/null
wait "$HOLDER_PID" 2>/dev/null
HOLDER_PID=

# Ctrl+C while Wine is still starting, as soon as the address shows.
wine_started() { ps -o comm= --ppid "$RUN_PID" | grep -q '^ombrane'; }
start_run
if wait_for_address && eventually 30 wine_started; then
    kill -INT -- -"$RUN_PID"
    if xdotool search --onlyvisible --name '^Ombrane 0\.8 - ' >/dev/null 2>&1; then
        log "Ctrl+C came after the main window showed"
    else
        log "Ctrl+C came before the main window showed"
    fi
    check "Ctrl+C during start-up ends the run command" eventually 60 ended
    ended && RUN_PID=
    check "nothing it started is left after Ctrl+C during start-up" eventually 20 nothing_left
    show_leftover
else
    fail "Wine starts under the run command"
fi

# A TERM to the command alone, none to what it started, ends all the same.
start_run
wait_for_address && MAIN=$(find_window '^Ombrane 0\.8 - ' 60)
if [ -n "$MAIN" ]; then
    before=$(started_by_run | wc -l)
    kill -TERM "$RUN_PID"
    check "TERM ends the run command" eventually 60 ended
    ended && RUN_PID=
    check "nothing it started is left after TERM ($before processes before)" eventually 20 nothing_left
    show_leftover
else
    fail "the main window is shown again"
fi

finish
