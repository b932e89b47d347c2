#!/usr/bin/env bash
# Builds the libFuzzer targets in build-fuzz and runs each one for a bounded
# time on a scratch copy of its seed corpus, so the corpus in the repository
# stays as committed. Exits non-zero when any target finds a crash.
#
#   scripts/fuzz.sh [seconds-per-target]      (default 60)
set -euo pipefail

seconds=${1:-60}
root=$(cd "$(dirname "$0")/.." && pwd)
build=$root/build-fuzz    # the fuzz preset's folder

cmake -S "$root" --preset fuzz >/dev/null
cmake --build "$build" -j2

status=0
for source in "$root"/fuzz/*_fuzz.cpp; do
    name=$(basename "$source" .cpp)
    work=$(mktemp -d "${TMPDIR:-/tmp}/ombrane-$name.XXXXXX")
    mkdir -p "$work/corpus"
    seeds=$root/fuzz/corpus/${name%_fuzz}
    if [ -d "$seeds" ]; then
        cp -R "$seeds/." "$work/corpus/"
    fi
    echo "== $name for $seconds s"
    if (cd "$work" && TMPDIR="$work" "$build/$name" -max_total_time="$seconds" \
            -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 corpus); then
        rm -rf "$work"
    else
        echo "== $name found a crash; the reproducer is in $work" >&2
        status=1
    fi
done
exit $status
