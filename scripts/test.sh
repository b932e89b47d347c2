#!/usr/bin/env bash
# Builds and runs every test: the native suite, the same suite under
# AddressSanitizer and UndefinedBehaviorSanitizer, the file readers under
# libFuzzer for a bounded time, ombrane-lab submit against a one-node Slurm
# started here, both Windows programs under Wine, the run command's browser
# view and the Windows release zip.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc)

scripts/install-deps.sh

echo "== Native build and tests"
cmake --preset native >/dev/null
cmake --build --preset native -j"$jobs"
ctest --preset native -j"$jobs"

echo "== ombrane-lab submit on a local Slurm"
scripts/slurm-local.sh run bash tests/slurm/slurm.sh build/native/ombrane-batch "$PWD"

echo "== Sanitizers (ASan, UBSan)"
cmake --preset sanitize >/dev/null
cmake --build --preset sanitize -j"$jobs"
ctest --preset sanitize -j"$jobs"

echo "== Fuzzing the file readers"
scripts/fuzz.sh "${OMBRANE_FUZZ_SECONDS:-45}"

echo "== Windows programs under Wine"
scripts/build-windows.sh
scripts/wine-tests.sh
scripts/wine-groups-tests.sh
scripts/wine-scenario-tests.sh
scripts/wine-legacy-tests.sh
tests/wine/run-in-browser.sh
tests/wine/release-zip.sh

echo "== All tests passed"
