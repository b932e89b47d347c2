#!/usr/bin/env bash
# Builds and runs every test: the native suite, the same suite under
# AddressSanitizer and UndefinedBehaviorSanitizer, the file readers under
# libFuzzer for a bounded time, and both Windows programs under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc)

scripts/install-deps.sh

echo "== Native build and tests"
cmake -S . -B build/native -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build/native -j"$jobs"
ctest --test-dir build/native --output-on-failure -j"$jobs"

echo "== Sanitizers (ASan, UBSan)"
cmake -S . -B build/sanitize -DCMAKE_BUILD_TYPE=Debug -DOMBRANE_SANITIZE=ON >/dev/null
cmake --build build/sanitize -j"$jobs"
ctest --test-dir build/sanitize --output-on-failure -j"$jobs"

echo "== Fuzzing the file readers"
scripts/fuzz.sh "${OMBRANE_FUZZ_SECONDS:-45}"

echo "== Windows programs under Wine"
scripts/build-windows.sh
scripts/wine-tests.sh
scripts/wine-legacy-tests.sh

echo "== All tests passed"
