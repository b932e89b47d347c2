#!/bin/bash
# Builds ombrane.exe and starts it under Wine. On a desktop it opens in the
# current X display; without one it runs inside a virtual display (Xvfb),
# whose number is printed so that a viewer can be attached.
# As root on Debian, missing packages are installed first.
# Usage: scripts/run.sh [--legacy]    (--legacy starts the earlier edition, 0.7)
set -eu

program=ombrane.exe
[ "${1:-}" = "--legacy" ] && program=ombrane-legacy.exe

ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=${OMBRANE_WIN_BUILD:-$ROOT/build-win}

need=()
command -v x86_64-w64-mingw32-g++ >/dev/null 2>&1 || need+=(g++-mingw-w64-x86-64)
command -v cmake >/dev/null 2>&1 || need+=(cmake)
command -v wine >/dev/null 2>&1 || need+=(wine)
[ -x /usr/lib/wine/wine64 ] || command -v wine64 >/dev/null 2>&1 || need+=(wine64)
if [ -z "${DISPLAY:-}" ]; then
    command -v Xvfb >/dev/null 2>&1 || need+=(xvfb)
fi
if [ ${#need[@]} -gt 0 ]; then
    if [ "$(id -u)" != 0 ] || ! command -v apt-get >/dev/null 2>&1; then
        echo "Please install: ${need[*]}" >&2
        exit 1
    fi
    echo "Installing: ${need[*]}"
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    apt-get install -y -qq --no-install-recommends "${need[@]}" >/dev/null
fi

"$ROOT/scripts/build-windows.sh" "$BUILD"

# A prefix of its own, so the first start does not touch ~/.wine; no Mono
# or Gecko download dialogs.
export WINEPREFIX=${WINEPREFIX:-$BUILD/wineprefix-run}
export WINEDLLOVERRIDES="mscoree,mshtml="
export WINEDEBUG=${WINEDEBUG:--all}

XVFB_PID=
cleanup() {
    [ -n "$XVFB_PID" ] && kill "$XVFB_PID" 2>/dev/null
    return 0
}
trap cleanup EXIT
trap "exit 130" INT TERM

if [ -z "${DISPLAY:-}" ]; then
    displayfile=$(mktemp)
    Xvfb -displayfd 3 -screen 0 1600x1000x24 -nolisten tcp 3>"$displayfile" >/dev/null 2>&1 &
    XVFB_PID=$!
    for _ in $(seq 50); do
        [ -s "$displayfile" ] && break
        sleep 0.2
    done
    [ -s "$displayfile" ] || { echo "Xvfb did not start" >&2; exit 1; }
    export DISPLAY=:$(head -n1 "$displayfile")
    rm -f "$displayfile"
    echo "No display: running in the virtual display $DISPLAY (close with Ctrl+C)."
fi

cd "$BUILD"
wine "./$program"
