#!/usr/bin/env bash
# Prints every speed figure the README quotes: the median ns per car-step of
# the step benchmarks (a) to (e), and the whole ombrane-batch process on (e)'s
# groups file for 12,000 steps (median of the runs, in CPU seconds and
# car-steps per second), plain and with noise on every group
# (bench/busy-dense-road-noise.scenario). Run it on a quiet machine; on a
# busy one the medians still move.
#
#   scripts/bench.sh [build-dir]        (default build/native, Release)
#   RUNS=7 CPU=1 scripts/bench.sh       more runs; pin every run to processor 1
#   WINE_TICKS=1 scripts/bench.sh       also the tick time under Wine at multipliers
#                                       16, 64, 256 (needs build/windows/ombrane-batch.exe)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/native}
runs=${RUNS:-5}
pin=()
[ -n "${CPU:-}" ] && pin=(taskset -c "$CPU")

# Always brought up to date: a figure from a binary older than the sources
# would be quoted for code it was not built from.
if [ ! -f "$build/CMakeCache.txt" ]; then
    cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release >/dev/null
fi
cmake --build "$build" -j2 --target ombrane_bench ombrane-batch >/dev/null

echo "== Step benchmarks, median and fastest of $runs repetitions (ns per car-step)"
"${pin[@]}" "$build/bench/ombrane_bench" \
    --benchmark_filter='BM_(DenseFourLanes|OneLaneOnly|DefaultGroups|NearlyEmptyLane|BusyDenseRoad)$' \
    --benchmark_repetitions="$runs" --benchmark_report_aggregates_only=true \
    --benchmark_format=csv 2>/dev/null |
  awk -F, '
    /^name,/ { for (i = 1; i <= NF; i++) if ($i == "\"ns_per_car_step\"") col = i }
    /_median"/ { name = $1; gsub(/"|_median/, "", name); median[name] = $col }
    /_fastest"/ {
        name = $1; gsub(/"|_fastest/, "", name)
        label["BM_DenseFourLanes"] = "(a)"; label["BM_OneLaneOnly"] = "(b)"
        label["BM_DefaultGroups"] = "(c)"; label["BM_NearlyEmptyLane"] = "(d)"
        label["BM_BusyDenseRoad"] = "(e)"
        printf "%s %-18s %7.1f ns  %5.1f million car-steps/s   fastest %5.1f ns\n",
               label[name], name, median[name], 1000 / median[name], $col
    }'

echo "== Whole ombrane-batch process, (e) for 12,000 steps, median of $runs runs"
work=$(mktemp -d "${TMPDIR:-/tmp}/ombrane-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT
cp bench/busy-dense-road.csv "$work/"
batch=$(cd "$build" && pwd)/ombrane-batch
(cd "$work" && "$batch" --steps 100 busy-dense-road.csv >/dev/null)  # warm-up
for k in $(seq "$runs"); do
    (cd "$work" && /usr/bin/time -f '%U %S %e' -o "time.$k" \
        "${pin[@]}" "$batch" --steps 12000 busy-dense-road.csv >/dev/null)
done
median() { sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
fastest() { sort -g | head -n 1; }
cpu=$(cat "$work"/time.* | awk '{ print $1 + $2 }' | median)
best=$(cat "$work"/time.* | awk '{ print $1 + $2 }' | fastest)
wall=$(cat "$work"/time.* | awk '{ print $3 }' | median)
awk -v cpu="$cpu" -v best="$best" -v wall="$wall" 'BEGIN {
    steps = 2344 * 12000
    printf "cpu %.2f s (user+sys), wall %.2f s: %.1f ns, %.1f million car-steps/s (cpu)\n",
           cpu, wall, cpu / steps * 1e9, steps / cpu / 1e6
    printf "fastest run: cpu %.2f s, %.1f ns, %.1f million car-steps/s\n",
           best, best / steps * 1e9, steps / best / 1e6 }'

echo "== Whole ombrane-batch process, (e) with noise on every group, 12,000 steps, median of $runs runs"
cp bench/busy-dense-road-noise.scenario "$work/"
for k in $(seq "$runs"); do
    (cd "$work" && /usr/bin/time -f '%U %S %e' -o "noise.$k" \
        "${pin[@]}" "$batch" --steps 12000 busy-dense-road-noise.scenario >/dev/null)
done
cpu=$(cat "$work"/noise.* | awk '{ print $1 + $2 }' | median)
wall=$(cat "$work"/noise.* | awk '{ print $3 }' | median)
awk -v cpu="$cpu" -v wall="$wall" 'BEGIN {
    steps = 2344 * 12000
    printf "cpu %.2f s (user+sys), wall %.2f s: %.1f ns, %.1f million car-steps/s (cpu)\n",
           cpu, wall, cpu / steps * 1e9, steps / cpu / 1e6 }'

# The window's fast-forward under Wine: the MinGW-built ombrane-batch runs
# 10,240 steps of (e) at each multiplier; a tick's time is the run's time less
# that of a run that only places the cars, divided by the ticks.
exe=${WIN_BUILD:-build/windows}/ombrane-batch.exe
if [ "${WINE_TICKS:-0}" = 1 ]; then
    if [ ! -f "$exe" ] || ! command -v wine >/dev/null; then
        echo "no $exe or no wine: build it with OMBRANE_BUILD_TESTS=1 scripts/build-windows.sh" >&2
        exit 1
    fi
    export WINEDEBUG=-all
    exe=$(cd "$(dirname "$exe")" && pwd)/ombrane-batch.exe
    timed() {  # label, arguments...: prints the median and the fastest cpu seconds
        local label=$1
        shift
        for k in $(seq "$runs"); do
            (cd "$work" && /usr/bin/time -f '%U %S' -o "wine.$label.$k" "${pin[@]}" wine "$exe" "$@" >/dev/null 2>&1)
        done
        echo "$(cat "$work"/wine."$label".* | awk '{ print $1 + $2 }' | median)" \
             "$(cat "$work"/wine."$label".* | awk '{ print $1 + $2 }' | fastest)"
    }
    echo "== Tick time under Wine, (e), 2,344 cars, median (fastest) of $runs runs (cpu)"
    read -r base baseBest < <(timed base --steps 0 busy-dense-road.csv)
    for m in 16 64 256; do
        read -r t tBest < <(timed "m$m" --steps 10240 --multiplier "$m" busy-dense-road.csv)
        awk -v t="$t" -v b="$base" -v tb="$tBest" -v bb="$baseBest" -v m="$m" 'BEGIN {
            ticks = 10240 / m
            printf "multiplier %3d: %.1f ms per tick (%.1f ns per car-step); fastest %.1f ms\n",
                   m, (t - b) / ticks * 1000, (t - b) / (10240 * 2344) * 1e9, (tb - bb) / ticks * 1000 }'
    done
fi
