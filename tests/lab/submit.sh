#!/usr/bin/env bash
# ombrane-lab submit and status against stand-ins for sbatch, scontrol and
# squeue (small scripts that log what they are given): the scripts submit
# writes, run by hand as Slurm would run them, give the same results.csv as
# `run`, in a folder whose name holds a space, a quote, a $ and a backtick
# (a newline is refused);
# arrays split at MaxArraySize or --max-array; one collect job after them all;
# status counts and names the failed runs; a second submit skips what is
# finished or still queued. Bad cases: no sbatch (exit 1, nothing made), sbatch
# refusing (its message, exit 1). The real Slurm is tests/slurm/slurm.sh.
#
#   submit.sh <ombrane-batch> <source-dir>
. "$(dirname "$0")/../preamble.sh" submit "$@"
lab=$(cd "$(dirname "$batch")" && pwd)/ombrane-lab

cd "$work" || exit 1
cp "$source/examples/motorway-keep-right.csv" base.csv
cat > exp.txt << 'EOF'
base     = base.csv
steps    = 480
warmup   = 160
detector = 0, 2640, 5280, 7920, 10560, 13200, 15840, 18480
vary 1.N = 20..60 by 20
vary 1.I = 1, 2
EOF
"$lab" run exp.txt --jobs 2 --out here > /dev/null 2>&1 || fail "run"

# The stand-ins: sbatch logs its arguments (one per line, NUL-separated
# runs) and prints the next job id; squeue prints $work/queue.
mkdir fake empty
cat > fake/sbatch << 'EOF'
#!/bin/bash
if [ -n "${FAKE_REFUSE:-}" ]; then
    echo "sbatch: error: Batch job submission failed: Invalid partition name specified" >&2
    exit 1
fi
# A task that starts before sbatch has even returned (a quiet cluster).
if [ -n "${FAKE_RUN_NOW:-}" ] && [[ " $* " == *" --array="* ]]; then
    (cd "$FAKE" && SLURM_ARRAY_JOB_ID=0 SLURM_ARRAY_TASK_ID=0 bash "${@: -1}" > "$FAKE/now.out" 2>&1)
fi
id=$(( $(cat "$FAKE/next" 2> /dev/null || echo 0) + 1 ))
echo $id > "$FAKE/next"
printf '%s\n' "$@" > "$FAKE/sbatch-$id.args"
printf '%s' "${@: -1}" > "$FAKE/sbatch-$id.script"
echo "$id;cluster"
EOF
cat > fake/scontrol << 'EOF'
#!/bin/bash
[ "$*" = "show config" ] || exit 1
printf 'Configuration data as of now\nMaxArrayBase            = 9\nMaxArraySize            = 4\n'
EOF
cat > fake/squeue << 'EOF'
#!/bin/bash
cat "$FAKE/queue" 2> /dev/null
EOF
chmod +x fake/*
export FAKE=$work
slurm_path="$work/fake:$PATH"

# No sbatch: exit 1, a clear message, no folder.
PATH=$work/empty "$lab" submit exp.txt --out none > out.txt 2> err.txt
code=$?
[ $code = 1 ] || fail "without sbatch submit exited $code"
grep -q "sbatch is not on PATH" err.txt || fail "without sbatch: $(cat err.txt)"
[ ! -e none ] || fail "without sbatch submit made its folder"

# sbatch refusing: its message, exit 1, nothing recorded as submitted.
PATH=$slurm_path FAKE_REFUSE=1 "$lab" submit exp.txt --out refused > out.txt 2> err.txt
code=$?
[ $code = 1 ] || fail "a refusing sbatch: submit exited $code"
grep -q "Invalid partition name specified" err.txt || fail "sbatch's message was lost: $(cat err.txt)"
[ ! -s refused/slurm/jobs.txt ] || fail "a refused job was recorded: $(cat refused/slurm/jobs.txt)"

# A dry run needs no Slurm: scripts written, sbatch lines printed, nothing sent.
PATH=$work/empty "$lab" submit exp.txt --out dry --dry-run --max-array 5 > dry.txt 2> err.txt ||
    fail "dry run: $(cat err.txt)"
[ -x dry/slurm/array-1-1.sh ] && [ -x dry/slurm/array-1-2.sh ] && [ -x dry/slurm/collect-1.sh ] ||
    fail "the dry run's scripts: $(ls dry/slurm)"
[ "$(grep -c '^a[12]=\$(sbatch ' dry.txt)" = 2 ] || fail "dry run printed: $(cat dry.txt)"
grep -q 'dependency=afterany:${a1%%;\*}:${a2%%;\*}' dry.txt || fail "dry run's collect line"
[ ! -e next ] || fail "the dry run called sbatch"
PATH=$slurm_path "$lab" submit exp.txt --out dry --max-array 6 > /dev/null 2>&1 || fail "submit after a dry run"
[ ! -e dry/slurm/submit-2.sh ] && ! grep -q "dry run" dry/slurm/submit-1.sh &&
    [ ! -e dry/slurm/array-1-2.sh ] ||
    fail "the submit after a dry run did not take its place: $(ls dry/slurm)"
rm next sbatch-*

# A task that starts at once finds the folder free: submit holds it no
# longer than it takes to prepare it.
PATH=$slurm_path FAKE_RUN_NOW=1 "$lab" submit exp.txt --out quick > /dev/null 2> err.txt ||
    fail "submit of a task that starts at once: $(cat err.txt)"
[ -s quick/runs/0001/result.csv ] || fail "a task that started at once failed: $(cat now.out)"
rm next sbatch-*

# A folder with a control character in its name is refused before anything
# is made: jobs and the scripts are one command a line.
PATH=$slurm_path "$lab" submit exp.txt --out "$work/new
line" > /dev/null 2> err.txt
[ $? = 2 ] || fail "a newline in --out: exit 2 expected"
[ ! -e "$work/new
line" ] || fail "a newline in --out: the folder was made"

# The real thing into a folder no shell may split or expand.
odd="$work/odd dir 'quoted' \$HOME \`x\` line"
PATH=$slurm_path "$lab" submit exp.txt --out "$odd" --partition debug --time 5 > out.txt 2> err.txt ||
    fail "submit: $(cat err.txt)"
[ "$(cat next)" = 3 ] || fail "MaxArraySize 4 and 6 runs: $(($(cat next) - 1)) arrays, not 2"
grep -qx -- '--array=0-3' sbatch-1.args && grep -qx -- '--array=0-1' sbatch-2.args ||
    fail "the arrays' sizes: $(grep array sbatch-*.args)"
grep -qx -- '--dependency=afterany:1:2' sbatch-3.args || fail "collect's dependency: $(cat sbatch-3.args)"
grep -qx -- '--partition=debug' sbatch-1.args && grep -qx -- '--time=5' sbatch-3.args ||
    fail "--partition and --time did not reach sbatch"
[ "$(cat sbatch-1.script)" = "$odd/slurm/array-1-1.sh" ] || fail "array script: $(cat sbatch-1.script)"
grep -q "job 3: collect" out.txt && grep -q "ombrane-lab status" out.txt || fail "submit said: $(cat out.txt)"
printf 'array 1 runs 1 2 3 4\narray 2 runs 5 6\ncollect 3\n' > expected-jobs.txt
cmp -s expected-jobs.txt "$odd/slurm/jobs.txt" || fail "jobs.txt: $(cat "$odd/slurm/jobs.txt")"

# Slurm runs each task in DIR/slurm/out (--chdir); so do we.
task() {  # <job> <index> <script>
    (cd "$odd/slurm/out" && SLURM_ARRAY_JOB_ID=$1 SLURM_ARRAY_TASK_ID=$2 bash "$3" > "$1_$2.out" 2>&1)
}
echo "1 1 R" > queue
echo "1 3 PD" >> queue
for i in 0 2; do task 1 $i "$odd/slurm/array-1-1.sh" || fail "task 1_$i"; done
# Task 1_1 was killed; 1_3 waits; 2_0 failed; 2_1 ended with no word.
echo "slurmstepd: error: *** JOB 6 ON vm CANCELLED AT 2026-01-01T00:00:00 ***" > "$odd/slurm/out/1_1.out"
: > "$odd/slurm/out/2_1.out"
echo "1 1 R" > queue
PATH=$slurm_path "$lab" status "$odd" > status.txt
code=$?
[ $code = 3 ] || fail "status of unfinished runs exited $code"
for row in "finished  2" "running   1" "pending   0" "failed    3" "left      0"; do
    grep -q "^  $row\$" status.txt || fail "status has no '$row': $(cat status.txt)"
done
: > queue
PATH=$slurm_path "$lab" status "$odd" > status.txt
grep -q "run 2: slurmstepd: error: \*\*\* JOB 6 ON vm CANCELLED" status.txt ||
    fail "status does not say why run 2 failed: $(cat status.txt)"
grep -q "run 6: ended without a result (slurm/out/2_1.out)" status.txt || fail "run 6: $(cat status.txt)"

# Again: only the unfinished runs not in the queue.
echo "2 0 R" > queue
PATH=$slurm_path "$lab" submit "$odd/experiment.txt" --out "$odd" --max-array 2 > out.txt 2> err.txt ||
    fail "second submit: $(cat err.txt)"
grep -q "still queued, not submitted again: runs 5$" out.txt || fail "queued run 5: $(cat out.txt)"
grep -qx 'runs=(2 4)' "$odd/slurm/array-2-1.sh" && grep -qx 'runs=(6)' "$odd/slurm/array-2-2.sh" ||
    fail "second submission: $(grep -h '^runs=' "$odd"/slurm/array-2-*.sh)"
grep -qx -- '--dependency=afterany:2:4:5' sbatch-6.args || fail "second collect: $(grep dep sbatch-6.args)"
for k in 0 1; do task 4 $k "$odd/slurm/array-2-1.sh" || fail "task 4_$k"; done
task 5 0 "$odd/slurm/array-2-2.sh" || fail "task 5_0"
task 2 0 "$odd/slurm/array-1-2.sh" || fail "task 2_0"
: > queue
(cd "$odd/slurm/out" && bash "$odd/slurm/collect-2.sh" > collect.out 2>&1) ||
    fail "collect script: $(cat "$odd/slurm/out/collect.out")"
cmp -s here/results.csv "$odd/results.csv" || fail "results.csv through the scripts differs from run"
PATH=$slurm_path "$lab" status "$odd" > status.txt || fail "status after all runs: $(cat status.txt)"
PATH=$slurm_path "$lab" submit exp.txt --out "$odd" > out.txt 2>&1 || fail "third submit"
tr '\n' ' ' < out.txt | grep -q "all 6 runs .* have finished; nothing to submit" || fail "third submit: $(cat out.txt)"
[ "$(cat next)" = 6 ] || fail "a finished experiment was submitted again"

"$lab" submit exp.txt --out bad --max-array 0 > /dev/null 2>&1
[ $? = 2 ] || fail "--max-array 0 was accepted"

[ $failures = 0 ] && echo "submit: all checks passed"
exit $((failures > 0))
