#!/usr/bin/env bash
# Compares every output of ombrane-batch, byte for byte, between an earlier
# revision and this tree: the console text, the --dump of every car, the
# report file, the --measures and --group-measures files, and (earlier
# edition) the --save snapshot, on every example groups file and the
# benchmark's busy dense road: in both editions, and in the current one also
# with the construction zone, and with the zone at a speed multiplier. A change meant to leave the
# model alone must print "same bytes".
#
#   scripts/compare-outputs.sh REV [BUILD]
#       REV    a revision to build (git archive; nothing in this tree is
#              touched), or the path of an ombrane-batch built from it
#       BUILD  this tree's build folder (default build/native, Release);
#              its ombrane-batch is brought up to date first
#   STEPS=N    steps of every run (default 4800)
#   KEEP=1     keep the outputs (printed) instead of removing them
set -euo pipefail
cd "$(dirname "$0")/.."
if [ $# -lt 1 ]; then
    echo "usage: $0 REV|OLD_OMBRANE_BATCH [BUILD]" >&2
    exit 2
fi
rev=$1
build=${2:-build/native}
steps=${STEPS:-4800}
work=$(mktemp -d "${TMPDIR:-/tmp}/ombrane-compare.XXXXXX")
[ "${KEEP:-0}" = 1 ] || trap 'rm -rf "$work"' EXIT

if [ ! -f "$build/CMakeCache.txt" ]; then
    cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release >/dev/null
fi
cmake --build "$build" -j2 --target ombrane-batch >/dev/null
new=$(cd "$build" && pwd)/ombrane-batch

if [ -x "$rev" ] && [ -f "$rev" ]; then
    old=$(cd "$(dirname "$rev")" && pwd)/$(basename "$rev")
else
    git rev-parse --verify --quiet "$rev^{commit}" >/dev/null || {
        echo "$rev is neither a revision nor an ombrane-batch" >&2
        exit 2
    }
    echo "building ombrane-batch at $rev" >&2
    mkdir -p "$work/source"
    git archive "$rev" | tar -x -C "$work/source"
    cmake -S "$work/source" -B "$work/source/build" -DCMAKE_BUILD_TYPE=Release \
        -DOMBRANE_TESTS=OFF -DOMBRANE_BENCH=OFF >/dev/null
    cmake --build "$work/source/build" -j2 --target ombrane-batch >/dev/null
    old=$work/source/build/ombrane-batch
fi

# Every run in a folder of its own, holding only its groups file: whatever
# the program writes there (the report file too) is compared.
runs=0
for file in examples/*.csv bench/busy-dense-road.csv; do
    name=$(basename "$file" .csv)
    for edition in current legacy; do
        if [ "$edition" = current ]; then
            variants=(plain zone multiplier)
        else
            variants=(plain)  # the earlier edition has neither zone nor multiplier
        fi
        for variant in "${variants[@]}"; do
            args=(--steps "$steps" --dump dump.csv --measures measures.csv
                  --group-measures group-measures.csv --detector 1000 --detector 9000)
            [ "$edition" = legacy ] && args+=(--legacy --save snapshot.omxxb)
            [ "$variant" = zone ] && args+=(--zone)
            [ "$variant" = multiplier ] && args+=(--zone --multiplier 16)
            for which in old new; do
                dir=$work/$which/$name.$edition.$variant
                mkdir -p "$dir"
                cp "$file" "$dir/"
                bin=$old
                [ "$which" = new ] && bin=$new
                status=0
                (cd "$dir" && "$bin" "${args[@]}" "$name.csv" > console.txt 2>&1) || status=$?
                echo "$status" > "$dir/exit-status"
            done
            runs=$((runs + 1))
        done
    done
done

if diff -r "$work/old" "$work/new" > "$work/differences"; then
    echo "same bytes: $runs runs of $steps steps, $(find "$work/new" -type f | wc -l) files each side"
    [ "${KEEP:-0}" = 1 ] && echo "outputs kept in $work"
    exit 0
fi
echo "DIFFERENT: $(grep -c '^diff\|^Only\|^Binary' "$work/differences" || true) files differ" >&2
head -40 "$work/differences" >&2
[ "${KEEP:-0}" = 1 ] && echo "outputs kept in $work" >&2
exit 1
