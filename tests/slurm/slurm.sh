#!/usr/bin/env bash
# ombrane-lab submit against a running Slurm (scripts/slurm-local.sh run
# starts one): the results.csv of a submitted experiment is byte-identical to
# `ombrane-lab run`'s, with one array or split into several (--max-array 2);
# a task cancelled with scancel while it runs leaves its run unfinished,
# status names it and exits 3, collect exits 3, and a second submit finishes
# it; so does a run whose process is killed (a node lost). The results folder's name holds a space, a quote and a $. Fails, saying
# so, when no Slurm answers: this stage is never skipped.
#
#   scripts/slurm-local.sh run bash tests/slurm/slurm.sh <ombrane-batch> <source-dir>
set -u

batch=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
source=$2
lab=$(dirname "$batch")/ombrane-lab
failures=0

fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

if ! state=$(sinfo --noheader --format=%t 2>&1) || [ -z "$state" ]; then
    echo "FAIL: no Slurm answers (sinfo: ${state:-nothing}); start one with scripts/slurm-local.sh" >&2
    exit 1
fi
# The tasks run on the nodes, which must see this folder: beside the build.
work=$(mktemp -d "$(dirname "$batch")/slurm-test.XXXXXX")
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1

cp "$source/examples/motorway-keep-right.csv" base.csv
cat > exp.txt << 'EOF'
base     = base.csv
steps    = 3200
warmup   = 320
detector = 0, 2640, 5280, 7920, 10560, 13200, 15840, 18480
vary 1.N = 20..60 by 20
vary 1.I = 1, 2
EOF
"$lab" run exp.txt --out here > /dev/null 2>&1 || fail "ombrane-lab run"

# Waits until the collect job named in submit's output has ended.
wait_for_collect() {  # <submit's output>
    local id
    id=$(sed -n 's/^job \([0-9]*\): collect.*/\1/p' "$1")
    [ -n "$id" ] || { fail "no collect job in: $(cat "$1")"; return; }
    for _ in $(seq 240); do
        [ -z "$(squeue --noheader --jobs="$id" 2> /dev/null)" ] && return
        sleep 0.5
    done
    fail "collect job $id has not ended after 2 minutes: $(squeue)"
}

odd="$work/with space 'quoted' \$HOME"

# One array; then several, each of at most 2 tasks.
"$lab" submit exp.txt --out "$odd" --partition debug > one.txt 2>&1 || fail "submit: $(cat one.txt)"
[ "$(grep -c '^job [0-9]*: runs' one.txt)" = 1 ] || fail "one array expected: $(cat one.txt)"
wait_for_collect one.txt
cmp -s here/results.csv "$odd/results.csv" || fail "results.csv through Slurm differs from run"
[ -s "$odd/fundamental.png" ] || fail "the collect job drew no fundamental.png: $(cat "$odd"/slurm/out/collect-*.out)"
"$lab" status "$odd" > status.txt || fail "status after every run finished: $(cat status.txt)"

"$lab" submit exp.txt --out split --max-array 2 > split.txt 2>&1 || fail "submit split: $(cat split.txt)"
[ "$(grep -c '^job [0-9]*: runs' split.txt)" = 3 ] || fail "three arrays of 2 expected: $(cat split.txt)"
wait_for_collect split.txt
cmp -s here/results.csv split/results.csv || fail "results.csv of the split arrays differs"
[ "$(ls split/slurm/out/*_*.out | wc -l)" = 6 ] || fail "task outputs: $(ls split/slurm/out)"

# A task cancelled while it runs. Run 3's ombrane-batch waits for a file
# that appears only after the test is done with it, so that it is running
# when scancel comes.
cat > held.sh << EOF
#!/bin/bash
case "\$PWD" in */runs/0003)
    echo \$\$ > "$work/started"
    while [ ! -e "$work/release" ]; do sleep 0.2; done ;;
esac
exec "$batch" "\$@"
EOF
chmod +x held.sh
"$lab" submit exp.txt --out "$odd-2" --batch ./held.sh > held.txt 2>&1 || fail "submit held: $(cat held.txt)"
array=$(sed -n 's/^job \([0-9]*\): runs.*/\1/p' held.txt)
for _ in $(seq 120); do
    [ -e started ] && break
    sleep 0.5
done
[ -e started ] || fail "run 3 never started"
scancel "${array}_2" || fail "scancel ${array}_2"
wait_for_collect held.txt
"$lab" status "$odd-2" > status.txt
code=$?
[ $code = 3 ] || fail "status with a cancelled run exited $code"
grep -q "^  failed    1$" status.txt && grep -q "run 3: slurmstepd.*CANCELLED" status.txt ||
    fail "status does not name the cancelled run: $(cat status.txt)"
grep -q "^  finished  5$" status.txt || fail "status: $(cat status.txt)"
[ ! -e "$odd-2/runs/0003/result.csv" ] || fail "the cancelled run looks finished"
"$lab" collect "$odd-2" > /dev/null 2>&1
[ $? = 3 ] || fail "collect with a run missing did not exit 3"
grep -q "^Exit: 3\|exited 3\|6 runs, 5 finished" "$odd-2"/slurm/out/collect-*.out ||
    fail "the collect job's output: $(cat "$odd-2"/slurm/out/collect-*.out)"

# Submitted again, run 3 alone; its process killed this time, as when a node is lost.
rm -f started
"$lab" submit exp.txt --out "$odd-2" --batch ./held.sh > again.txt 2>&1 || fail "resubmit: $(cat again.txt)"
grep -q "^job [0-9]*: runs 3 (1 task)" again.txt || fail "the resubmit: $(cat again.txt)"
for _ in $(seq 120); do
    [ -s started ] && break
    sleep 0.5
done
kill -KILL "$(cat started)" || fail "run 3 did not start again"
wait_for_collect again.txt
"$lab" status "$odd-2" > status.txt
[ $? = 3 ] && grep -q "run 3: ombrane-lab: run 3 failed (ended by signal 9)" status.txt ||
    fail "status of the killed run: $(cat status.txt)"

touch release
"$lab" submit exp.txt --out "$odd-2" --batch ./held.sh > last.txt 2>&1 || fail "third submit: $(cat last.txt)"
wait_for_collect last.txt
cmp -s here/results.csv "$odd-2/results.csv" || fail "results.csv after the resubmits differs"
"$lab" status "$odd-2" > status.txt || fail "status after the resubmits: $(cat status.txt)"

[ $failures = 0 ] && echo "slurm: all checks passed"
exit $((failures > 0))
