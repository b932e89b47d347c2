#!/usr/bin/env bash
# Compares the step benchmarks of two builds on a shared machine: the two
# benchmark programs take turns, three repetitions each per round, pinned to
# one processor, so that a change in the machine's load falls on both alike.
# Prints the fastest and the median ns per car-step of each.
#
#   scripts/bench-vs.sh OLD_BENCH NEW_BENCH [ROUNDS] [FILTER]
#   e.g. scripts/bench-vs.sh /tmp/old/bench/ombrane_bench build/native/bench/ombrane_bench 8
set -euo pipefail
if [ $# -lt 2 ]; then
    echo "usage: $0 OLD_BENCH NEW_BENCH [ROUNDS] [FILTER]" >&2
    exit 2
fi
old=$1 new=$2 rounds=${3:-8}
filter=${4:-'BM_(DenseFourLanes|OneLaneOnly|DefaultGroups|NearlyEmptyLane|BusyDenseRoad)$'}
cpu=${CPU:-1}
for _ in $(seq "$rounds"); do
    for which in old new; do
        bin=$old
        [ "$which" = new ] && bin=$new
        taskset -c "$cpu" "$bin" --benchmark_filter="$filter" --benchmark_repetitions=3 \
            --benchmark_min_time=0.2 --benchmark_format=csv 2>/dev/null |
          awk -F, -v which="$which" '
            /^name,/ { for (i = 1; i <= NF; i++) if ($i == "\"ns_per_car_step\"") col = i; next }
            col && /^"BM/ && !/_(mean|median|stddev|cv|fastest)"/ { gsub(/"/, "", $1); print $1, which, $col }'
    done
done | sort -k1,1 -k2,2r -k3,3g |
  awk '{ key = $1 " " $2; v[key] = v[key] " " $3; n[key]++ }
       END {
         for (key in v) {
           split(substr(v[key], 2), a, " ")
           printf "%-22s %-3s fastest %6.1f  median %6.1f ns  (%d runs)\n", substr(key, 1, index(key, " ") - 1),
                  substr(key, index(key, " ") + 1), a[1], a[int((n[key] + 1) / 2)], n[key]
         }
       }' | sort -k1,1 -k2,2r
