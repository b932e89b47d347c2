#!/usr/bin/env bash
# Runs every example groups file and the speed benchmark's busy dense road for
# 20,000 steps in both editions, and every example scenario and the busy dense
# road with noise in the current edition, and compares the bytes of the --dump
# output and of the report file with the checksums in tests/golden/checksums.sha256, which
# were recorded by the build before the step was made faster. A faster step
# that drifts by one bit in one car fails here.
#
#   golden.sh <ombrane-batch> <source-dir>            compare
#   golden.sh <ombrane-batch> <source-dir> --record   rewrite the checksums
#
# OMBRANE_LAUNCHER, when set, is put before the program (e.g. "wine" for the
# MinGW build, which must give the same bytes). Only a deliberate change of
# the model may re-record the checksums.
. "$(dirname "$0")/../preamble.sh" golden "$@"

mode=${3:-compare}
steps=20000
launcher=()
[ -n "${OMBRANE_LAUNCHER:-}" ] && read -r -a launcher <<< "$OMBRANE_LAUNCHER"
sums=$source/tests/golden/checksums.sha256

for file in "$source"/examples/*.csv "$source"/bench/busy-dense-road.csv; do
    # A report that a run of an example left beside it is not an example.
    case $file in *.report.csv|*.dump.csv) continue ;; esac
    name=$(basename "$file" .csv)
    for edition in current legacy; do
        dir=$work/$edition
        mkdir -p "$dir"
        cp "$file" "$dir/$name.csv"
        flag=()
        [ "$edition" = legacy ] && flag=(--legacy)
        run() {
            (cd "$dir" && "${launcher[@]}" "$batch" "${flag[@]}" --steps "$steps" \
                --dump "$name.dump.csv" "$name.csv" > "$name.log" 2>&1)
        }
        # A launcher that lost its own server (Wine's "wine client error")
        # says nothing of the program: that run, and only that, is made again.
        if ! run && { [ ${#launcher[@]} -eq 0 ] || ! grep -q "wine client error" "$dir/$name.log" || ! run; }; then
            echo "FAIL: $edition $name: ombrane-batch failed" >&2
            tail -5 "$dir/$name.log" >&2
            failures=$((failures + 1))
        fi
        rm -f "$dir/$name.csv" "$dir/$name.log"
    done
done

# Scenarios (current edition only): events, the even start and noise, whose
# draws must be the same numbers on every build.
dir=$work/scenario
mkdir -p "$dir"
for file in "$source"/examples/*.scenario "$source"/bench/busy-dense-road-noise.scenario; do
    name=$(basename "$file" .scenario)
    cp "$file" "$(dirname "$file")"/*.csv "$dir/"
    if ! (cd "$dir" && "${launcher[@]}" "$batch" --steps "$steps" --dump "$name.dump.csv" \
            "$name.scenario" > "$name.log" 2>&1); then
        echo "FAIL: scenario $name: ombrane-batch failed" >&2
        tail -5 "$dir/$name.log" >&2
        failures=$((failures + 1))
    fi
    rm -f "$dir"/*.scenario "$dir"/*.csv.tmp "$dir/$name.log"
    find "$dir" -name '*.csv' ! -name '*.dump.csv' ! -name '*.report.csv' -delete
done

cd "$work" || exit 1
if [ "$mode" = --record ]; then
    find current legacy scenario -type f | LC_ALL=C sort | xargs sha256sum > "$sums"
    echo "recorded $(wc -l < "$sums") checksums in $sums"
    exit "$failures"
fi
# Every recorded file must exist and match, and no run may leave a file that
# was never recorded.
sha256sum --check --quiet "$sums" || failures=$((failures + 1))
expected=$(awk '{print $2}' "$sums" | LC_ALL=C sort)
actual=$(find current legacy scenario -type f | LC_ALL=C sort)
if [ "$expected" != "$actual" ]; then
    echo "FAIL: the runs wrote other files than those recorded:" >&2
    diff <(echo "$expected") <(echo "$actual") >&2
    failures=$((failures + 1))
fi
if [ "$failures" -ne 0 ]; then
    echo "golden: $failures check(s) failed" >&2
    exit 1
fi
echo "golden: $(wc -l < "$sums") files match their recorded checksums"
