# shellcheck shell=bash
# The virtual display and its view in a web browser, sourced by scripts/run.sh
# and scripts/wine-harness.sh. Each function leaves the ids of what it
# started in XVFB_PID, VNC_PID and WEB_PID; stop_display ends them. Also the
# fonts every Wine prefix drawn on such a display needs.

XVFB_PID=
VNC_PID=
WEB_PID=

# Starts Xvfb on the first free display number and exports DISPLAY.
# Returns 1 when it has not come up within ten seconds.
start_xvfb() {     # log file
    local numberfile
    numberfile=$(mktemp "${TMPDIR:-/tmp}/ombrane-display.XXXXXX")
    Xvfb -displayfd 3 -screen 0 1600x1000x24 -nolisten tcp 3>"$numberfile" >"$1" 2>&1 &
    XVFB_PID=$!
    for _ in $(seq 50); do
        [ -s "$numberfile" ] && break
        sleep 0.2
    done
    if [ ! -s "$numberfile" ]; then
        rm -f "$numberfile"
        return 1
    fi
    DISPLAY=:$(head -n1 "$numberfile")
    export DISPLAY
    rm -f "$numberfile"
}

# Serves DISPLAY to a browser on this machine only: x11vnc on a free VNC
# port of the loopback address, and websockify serving noVNC's page and
# bridging it to that port. Sets VNC_PORT and WEB_PORT; returns 1 when
# either did not start. Without a password: nothing listens beyond
# 127.0.0.1.
start_web_view() { # log folder, first web port to try
    local log=$1 port=$2 i
    x11vnc -display "$DISPLAY" -localhost -autoport 5900 -forever -shared -nopw \
        -noxdamage -noipv6 >"$log/x11vnc.log" 2>&1 &
    VNC_PID=$!
    VNC_PORT=
    for _ in $(seq 100); do
        VNC_PORT=$(sed -n 's/^PORT=\([0-9]*\)$/\1/p' "$log/x11vnc.log" | head -n1)
        [ -n "$VNC_PORT" ] && break
        kill -0 "$VNC_PID" 2>/dev/null || return 1
        sleep 0.1
    done
    [ -n "$VNC_PORT" ] || return 1

    # The next port up when another program holds this one. Verbose and
    # unbuffered, so that its log names at once each browser that connects
    # and each that cannot reach the VNC server.
    for i in $(seq 0 19); do
        WEB_PORT=$((port + i))
        (exec 3<>"/dev/tcp/127.0.0.1/$WEB_PORT") 2>/dev/null && continue
        PYTHONUNBUFFERED=1 websockify -v --web /usr/share/novnc "127.0.0.1:$WEB_PORT" "127.0.0.1:$VNC_PORT" \
            >"$log/websockify.log" 2>&1 &
        WEB_PID=$!
        for _ in $(seq 50); do
            kill -0 "$WEB_PID" 2>/dev/null || break
            (exec 3<>"/dev/tcp/127.0.0.1/$WEB_PORT") 2>/dev/null && return 0
            sleep 0.1
        done
        kill "$WEB_PID" 2>/dev/null
        wait "$WEB_PID" 2>/dev/null
        WEB_PID=
    done
    return 1
}

stop_display() {
    local pid
    for pid in $WEB_PID $VNC_PID $XVFB_PID; do
        kill "$pid" 2>/dev/null
    done
    for pid in $WEB_PID $VNC_PID $XVFB_PID; do
        wait "$pid" 2>/dev/null
    done
    WEB_PID='' VNC_PID='' XVFB_PID=''
    return 0
}

# Wine draws the caption buttons with the Marlett font and the dialogs with
# Tahoma, both from Debian's fonts-wine; without them the buttons read
# "0 1 r". Debian's Wine 8 looks for that folder one level too high, so
# each prefix gets links to the fonts in its own Fonts folder, where every
# Wine looks. A Wine that finds them itself loses nothing.
link_wine_fonts() {  # Wine prefix
    local font folder=$1/drive_c/windows/Fonts
    [ -d /usr/share/wine/fonts ] && [ -d "$1/drive_c/windows" ] || return 0
    mkdir -p "$folder"
    for font in /usr/share/wine/fonts/*; do
        [ -e "$folder/${font##*/}" ] || ln -s "$font" "$folder/${font##*/}"
    done
}
