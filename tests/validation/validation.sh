#!/usr/bin/env bash
# The figures of docs/validation.md stay inside their bands: the same
# measurements as scripts/validate.sh, on shortened runs (fewer and shorter),
# so that a change of the model that breaks realism fails here.
#
#   validation.sh <ombrane-batch> <source-dir>
# Skipped under the sanitizers (OMBRANE_SHORT=1): the bands need runs of
# minutes of simulated time, and the native build checks the same code.
set -u
batch=$1
source=$2
[ "${OMBRANE_SHORT:-0}" = 1 ] && { echo "skipped under the sanitizers"; exit 77; }
OMBRANE_LAB=$(dirname "$batch")/ombrane-lab exec bash "$source/scripts/validate.sh" --check
