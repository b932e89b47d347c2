#!/usr/bin/env bash
# Builds the libFuzzer targets in build/fuzz and runs each one for a bounded
# time on a scratch copy of its seed corpus, so the corpus in the repository
# stays as committed. Exits non-zero when any target finds a crash.
#
#   scripts/fuzz.sh [seconds-per-target]      (default 60)
#   scripts/fuzz.sh --long SECONDS
#
# --long runs every target at once, at the lowest priority, for SECONDS each,
# then merges what they found into fuzz/corpus/<target> with -merge=1: only
# inputs that reach coverage the committed corpus does not are added, so
# every later run starts from there. Review and commit fuzz/corpus afterwards.
set -euo pipefail

long=0
if [ "${1:-}" = "--long" ]; then
    long=1
    shift
    if ! [[ "${1:-}" =~ ^[0-9]+$ ]]; then
        echo "usage: scripts/fuzz.sh [seconds-per-target] | --long SECONDS" >&2
        exit 2
    fi
fi
seconds=${1:-60}
root=$(cd "$(dirname "$0")/.." && pwd)
build=$root/build/fuzz    # the fuzz preset's folder

cmake -S "$root" --preset fuzz >/dev/null
cmake --build "$build" -j2

# fuzz_one <name> <work>: runs one target in <work> on a copy of its seeds.
fuzz_one() {
    local name=$1 work=$2
    mkdir -p "$work/corpus"
    local seeds=$root/fuzz/corpus/${name%_fuzz}
    if [ -d "$seeds" ]; then
        cp -R "$seeds/." "$work/corpus/"
    fi
    (cd "$work" && TMPDIR="$work" "${runner[@]}" "$build/$name" -max_total_time="$seconds" \
        -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 corpus)
}

status=0
runner=()
if [ "$long" -eq 0 ]; then
    for source in "$root"/fuzz/*_fuzz.cpp; do
        name=$(basename "$source" .cpp)
        work=$(mktemp -d "${TMPDIR:-/tmp}/ombrane-$name.XXXXXX")
        echo "== $name for $seconds s"
        if fuzz_one "$name" "$work"; then
            rm -rf "$work"
        else
            echo "== $name found a crash; the reproducer is in $work" >&2
            status=1
        fi
    done
    exit $status
fi

runner=(nice -n 19)
declare -A works pids
for source in "$root"/fuzz/*_fuzz.cpp; do
    name=$(basename "$source" .cpp)
    works[$name]=$(mktemp -d "${TMPDIR:-/tmp}/ombrane-$name.XXXXXX")
    echo "== $name for $seconds s, log in ${works[$name]}/log"
    fuzz_one "$name" "${works[$name]}" > "${works[$name]}/log" 2>&1 &
    pids[$name]=$!
done
for name in "${!pids[@]}"; do
    work=${works[$name]}
    if ! wait "${pids[$name]}"; then
        echo "== $name found a crash; the reproducer and the log are in $work" >&2
        status=1
        continue
    fi
    grep -E '^#[0-9]+[[:space:]]+DONE|^stat::number_of_executed_units' "$work/log" | sed "s/^/$name: /"
    seeds=$root/fuzz/corpus/${name%_fuzz}
    mkdir -p "$seeds"
    before=$(ls "$seeds" | wc -l)
    # A snapshot input is a whole 105 KB save-file: keep only those that reach
    # code the corpus does not, not every new hit count, or the corpus would
    # grow by megabytes a run.
    only_new_code=()
    [ "$name" = snapshot_fuzz ] && only_new_code=(-use_counters=0)
    (cd "$work" && "$build/$name" -merge=1 "${only_new_code[@]}" "$seeds" corpus > merge.log 2>&1) ||
        { echo "== $name: merge failed, see $work/merge.log" >&2; status=1; continue; }
    echo "$name: corpus $before -> $(ls "$seeds" | wc -l) inputs ($(du -sh "$seeds" | cut -f1))"
    rm -rf "$work"
done
exit $status
