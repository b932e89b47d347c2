#!/usr/bin/env bash
# Builds and runs every test: the native suite, the same suite under
# AddressSanitizer and UndefinedBehaviorSanitizer, the file readers under
# libFuzzer for a bounded time, ombrane-lab submit against a one-node Slurm
# started here, both Windows programs under Wine, the run command's browser
# view and the Windows release zip.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc)
# Each stage's heading also says how long the whole had taken by then, so
# a stage that grows shows in CI's log.
stage() { echo "== $* (at $((SECONDS / 60))m$((SECONDS % 60))s)"; }

scripts/install-deps.sh

stage "Native build and tests"
cmake --preset native >/dev/null
cmake --build --preset native -j"$jobs"
ctest --preset native -j"$jobs"

stage "ombrane-lab submit on a local Slurm"
scripts/slurm-local.sh run bash tests/slurm/slurm.sh build/native/ombrane-batch "$PWD"

stage "Sanitizers (ASan, UBSan)"
cmake --preset sanitize >/dev/null
cmake --build --preset sanitize -j"$jobs"
ctest --preset sanitize -j"$jobs"

stage "Windows programs under Wine"
scripts/build-windows.sh
# The fuzzers use one processor and the Wine tests mostly wait for windows,
# so the readers are fuzzed beside them; the fuzzers' report follows.
fuzz_log=$(mktemp "${TMPDIR:-/tmp}/ombrane-fuzz.XXXXXX")
scripts/fuzz.sh "${OMBRANE_FUZZ_SECONDS:-15}" >"$fuzz_log" 2>&1 &
fuzz_pid=$!
trap 'kill "$fuzz_pid" 2>/dev/null || true; rm -f "$fuzz_log"' EXIT
scripts/wine-tests.sh
scripts/wine-groups-tests.sh
scripts/wine-scenario-tests.sh
scripts/wine-legacy-tests.sh
tests/wine/run-in-browser.sh
tests/wine/release-zip.sh

stage "Fuzzing the file readers"
fuzz_status=0
wait "$fuzz_pid" || fuzz_status=$?
cat "$fuzz_log"
[ "$fuzz_status" -eq 0 ]

stage "All tests passed"
