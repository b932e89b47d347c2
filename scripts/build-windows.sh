#!/bin/sh
# Cross-builds both Windows programs into build-win (or the folder given).
set -eu
here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$here/build-win}
jobs=${JOBS:-2}
generator=
command -v ninja >/dev/null 2>&1 && generator="-G Ninja"
cmake -S "$here" -B "$build" $generator \
  -DCMAKE_TOOLCHAIN_FILE="$here/cmake/mingw-w64.cmake" \
  -DCMAKE_BUILD_TYPE=Release
cmake --build "$build" -j "$jobs" --target ombrane ombrane-legacy
if [ "${OMBRANE_BUILD_TESTS:-0}" = 1 ]; then
  cmake --build "$build" -j "$jobs" --target ombrane-conread ombrane-gdi-tests ombrane-batch
fi
