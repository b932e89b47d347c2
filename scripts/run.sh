#!/bin/bash
# Builds ombrane.exe and starts it under Wine. On a desktop it opens in the
# current X display. Without one (or with --web) it runs in a virtual
# display that a web browser on this machine shows: the command prints the
# address to open; the page shows the whole desktop scaled to the browser
# window, laid out so the console, the road and the live views sit side by
# side. The program's Exit, Ctrl+C or a TERM signal, at any moment from
# the start, ends everything the command started: the build, Wine, the
# display and its web view.
# As root on Debian, missing packages are installed first.
#
#   scripts/run.sh [--legacy] [--web]
#     --legacy   the earlier edition, 0.7
#     --web      the browser view even when there is a display
#   OMBRANE_WEB_PORT   first web port to try (default 6080; the next free
#                      one up to 19 above it is taken)
set -eu

program=ombrane.exe
web=0
for arg in "$@"; do
    case $arg in
        --legacy) program=ombrane-legacy.exe ;;
        --web) web=1 ;;
        *) echo "usage: scripts/run.sh [--legacy] [--web]" >&2; exit 2 ;;
    esac
done
[ -z "${DISPLAY:-}" ] && web=1

ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=${OMBRANE_WIN_BUILD:-$ROOT/build/windows}

# Off Debian, or not as root, go on when the commands are there anyway.
if ! "$ROOT/scripts/install-deps.sh" --run-only; then
    for tool in cmake x86_64-w64-mingw32-g++ wine; do
        command -v "$tool" >/dev/null 2>&1 || exit 1
    done
    if [ "$web" = 1 ]; then
        for tool in Xvfb x11vnc websockify; do
            command -v "$tool" >/dev/null 2>&1 || exit 1
        done
        [ -f /usr/share/novnc/vnc.html ] || exit 1
    fi
fi

. "$ROOT/scripts/display.sh"
LOGS=$(mktemp -d "${TMPDIR:-/tmp}/ombrane-run.XXXXXX")
STEP_PID=           # the step of the start-up that runs now
WINE_USED=          # set once Wine may have started its server
APP_PID=
WATCH_PID=
cleanup() {
    set +e          # a step that finds nothing to end must not skip the rest
    [ -n "$STEP_PID" ] && kill -TERM -- -"$STEP_PID" 2>/dev/null
    if [ -n "$WINE_USED" ]; then
        timeout 20 wineserver -k >/dev/null 2>&1
        timeout 20 wineserver -w >/dev/null 2>&1
    fi
    for pid in $APP_PID $WATCH_PID $STEP_PID; do
        kill "$pid" 2>/dev/null
        wait "$pid" 2>/dev/null
    done
    stop_display
    rm -rf "$LOGS"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

# A step of the start-up runs in a process group of its own, in the
# background, so that a signal reaches the traps at once rather than after
# the step, and the cleanup can end the step with all its children.
step() {
    setsid "$@" &
    STEP_PID=$!
    local status=0
    wait "$STEP_PID" || status=$?
    STEP_PID=
    return "$status"
}

step "$ROOT/scripts/build-windows.sh" "$BUILD" ombrane ombrane-legacy ombrane-desk || exit 1

# Prints a line on the console for each browser that connects to the view,
# and a clear one for each that cannot reach the display behind it.
watch_browsers() { # websockify's log
    tail -n +1 -F --pid=$$ "$1" 2>/dev/null | while IFS= read -r line; do
        case $line in
            *"WebSocket connection"*)
                echo "A browser has connected to the view." ;;
            *"Failed to connect to "*)
                echo "A browser could not connect: the virtual display's VNC server does not answer" \
                     "(${line##*: }). Ctrl+C and start again." ;;
        esac
    done
}

export WINEDLLOVERRIDES="mscoree,mshtml="
export WINEDEBUG=${WINEDEBUG:--all}

if [ "$web" = 1 ]; then
    start_xvfb "$LOGS/xvfb.log" || { echo "Xvfb did not start" >&2; exit 1; }
    # A prefix of its own, so the first start does not touch ~/.wine. With
    # no window manager on the display, Wine draws the frames and moves the
    # focus itself.
    export WINEPREFIX=${WINEPREFIX:-$BUILD/wineprefix-web}
    WINE_USED=1
    if [ ! -f "$WINEPREFIX/.ombrane-unmanaged" ]; then
        echo "Preparing the Wine prefix $WINEPREFIX (first start only)..."
        step timeout 300 wineboot -i >/dev/null 2>&1
        step timeout 60 wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
        step timeout 60 wine reg add 'HKCU\Software\Wine\X11 Driver' /v UseTakeFocus /d N /f >/dev/null 2>&1
        step timeout 60 wineserver -w
        touch "$WINEPREFIX/.ombrane-unmanaged"
    fi
    link_wine_fonts "$WINEPREFIX"
    start_web_view "$LOGS" "${OMBRANE_WEB_PORT:-6080}" ||
        { echo "The web view did not start:" >&2; cat "$LOGS"/*.log >&2; exit 1; }
    watch_browsers "$LOGS/websockify.log" &
    WATCH_PID=$!
    echo "Ombrane runs in the virtual display $DISPLAY. Open in a web browser on this machine:"
    echo
    echo "    http://localhost:$WEB_PORT/vnc.html?autoconnect=1&resize=scale"
    echo
    echo "(VNC viewers: localhost:$VNC_PORT. From another machine: ssh -L $WEB_PORT:localhost:$WEB_PORT this-host.)"
    echo "Ctrl+C ends the program and the view."
    # Lays the windows out for the browser view; ends with the program.
    (cd "$BUILD" && exec wine ./ombrane-desk.exe) >/dev/null 2>&1 &
else
    export WINEPREFIX=${WINEPREFIX:-$BUILD/wineprefix-run}
    WINE_USED=1
    [ -d "$WINEPREFIX/drive_c/windows" ] || step timeout 300 wineboot -i >/dev/null 2>&1
    link_wine_fonts "$WINEPREFIX"
fi

# In the background, so that Ctrl+C and TERM reach the traps at once.
cd "$BUILD"
wine "./$program" &
APP_PID=$!
status=0
wait "$APP_PID" || status=$?
exit "$status"
