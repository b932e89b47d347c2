#!/bin/sh
# Cross-builds the Windows programs with the `windows` preset into build/windows
# or the folder given. Further arguments name the targets to build instead
# of both programs; OMBRANE_BUILD_TESTS=1 adds the Wine tests' helpers.
#
#   scripts/build-windows.sh [build-dir [target...]]
set -eu
here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$here/build/windows}
[ $# -gt 0 ] && shift
targets=${*:-ombrane ombrane-legacy}
if [ "${OMBRANE_BUILD_TESTS:-0}" = 1 ]; then
  targets="$targets ombrane-conread ombrane-gdi-tests ombrane-batch"
fi
# A new build folder uses Ninja when it is there; an existing one keeps the
# generator it was made with.
if [ -z "${CMAKE_GENERATOR:-}" ] && command -v ninja >/dev/null 2>&1; then
  export CMAKE_GENERATOR=Ninja
fi
cmake -S "$here" --preset windows -B "$build"
# shellcheck disable=SC2086 # one word per target
cmake --build "$build" -j "${JOBS:-2}" --target $targets
