#!/usr/bin/env bash
# ombrane-lab against a hostile or careless user, by surface: one folder and
# two labs (the lock, SIGTERM to `one`), collect's checks of what it finds,
# the commands jobs prints, input files that are not files, and an
# experiment grown by a value, which keeps the runs it already has.
#
#   robust.sh <ombrane-batch> <source-dir>
set -u

batch=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
source=$2
lab=$(cd "$(dirname "$batch")" && pwd)/ombrane-lab
work=$(mktemp -d "${TMPDIR:-/tmp}/ombrane-lab-robust.XXXXXX")
started=()
trap 'for p in "${started[@]}"; do kill "$p" 2> /dev/null; done; rm -rf "$work"' EXIT
failures=0

fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

wait_for() {  # <file>: up to 10 s until it is there and not empty
    for _ in $(seq 100); do
        [ -s "$1" ] && return 0
        sleep 0.1
    done
    return 1
}

gone() {  # <pid>: ended, or a zombie nobody reaps (in a container)
    local state
    state=$(ps -o stat= -p "$1" 2> /dev/null)
    [ -z "$state" ] || [ "${state#Z}" != "$state" ]
}

cd "$work" || exit 1
cp "$source/examples/motorway-keep-right.csv" base.csv
cat > exp.txt <<'X'
base     = base.csv
steps    = 480
warmup   = 160
vary 1.N = 20..60 by 20
vary 1.I = 1, 2
X
printf '#!/bin/sh\necho $$ > pid\nexec sleep 30\n' > slow.sh
chmod +x slow.sh
# Counts its runs, then is the real ombrane-batch.
printf '#!/bin/sh\necho run >> %s/count\nexec %s "$@"\n' "$work" "$batch" > counting.sh
chmod +x counting.sh

# --- One folder, two labs ---------------------------------------------------
"$lab" run exp.txt --jobs 1 --out held --batch ./slow.sh > /dev/null 2>&1 &
holder=$!
started+=($holder)
wait_for held/runs/0001/pid || fail "the slow run never started"
"$lab" run exp.txt --jobs 1 --out held --batch ./slow.sh > /dev/null 2> err.txt
code=$?
[ $code = 1 ] && grep -q "held is in use by ombrane-lab run (process $holder on " err.txt ||
    fail "a second run on a held folder exited $code: $(cat err.txt)"
for command in "one held 2" "collect held"; do
    "$lab" $command > /dev/null 2> err.txt
    [ $? = 1 ] && grep -q "in use by ombrane-lab run" err.txt || fail "$command on a held folder: $(cat err.txt)"
done
kill -TERM $holder
wait $holder
sleep 0.2
gone "$(cat held/runs/0001/pid)" || fail "the held folder's run outlived ombrane-lab"

# SIGTERM to one reaches its ombrane-batch, and one waits for it.
"$lab" jobs exp.txt --out single > /dev/null || fail "jobs for one"
"$lab" one single 3 --batch ./slow.sh > /dev/null 2> one-err.txt &
one=$!
started+=($one)
wait_for single/runs/0003/pid || fail "one never started its run"
"$lab" one single 3 --batch ./slow.sh > /dev/null 2> err.txt
[ $? = 1 ] && grep -q "run 3 of single is in use by ombrane-lab one (process $one" err.txt ||
    fail "a second one of the same run: $(cat err.txt)"
"$lab" run exp.txt --out single > /dev/null 2> err.txt
[ $? = 1 ] && grep -q "single is in use by ombrane-lab one or collect" err.txt ||
    fail "run while one runs: $(cat err.txt)"
kill -TERM $one
wait $one
code=$?
gone "$(cat single/runs/0003/pid)" || fail "SIGTERM to one left its ombrane-batch running"
[ $code = 143 ] || fail "one ended by SIGTERM exited $code"
[ ! -e single/runs/0003/result.csv ] || fail "a stopped run looks finished"
"$lab" one single 4294967297 > /dev/null 2>&1
[ $? = 2 ] || fail "one of run 4294967297 was not refused"

# --- collect checks what it finds ------------------------------------------------
"$lab" run exp.txt --jobs 2 --out good > /dev/null 2>&1 || fail "the reference run"
cp -R good bad
: > bad/runs/0002/result.csv
echo "lane,nonsense" > bad/runs/0003/result.csv
"$lab" collect bad > /dev/null 2> err.txt
[ $? = 3 ] || fail "collect of an empty and a garbage result did not exit 3"
grep -q "bad/runs/0002: result.csv is empty; run 2 counts as unfinished" err.txt &&
    grep -q "bad/runs/0003: result.csv: its header is not" err.txt || fail "collect said: $(cat err.txt)"
grep -q '^[23],' bad/results.csv && fail "a bad result became a row"
"$lab" run exp.txt --jobs 2 --out bad > /dev/null 2>&1 || fail "rerun of the bad results"
cmp -s bad/results.csv good/results.csv || fail "the redone runs differ"

# A run whose record of its inputs is not this run's does not count.
cp good/runs/0001/run.txt bad/runs/0004/run.txt
"$lab" collect bad > /dev/null 2> err.txt
[ $? = 3 ] && grep -q "bad/runs/0004: run.txt does not describe run 4" err.txt || fail "a swapped run.txt: $(cat err.txt)"

# A folder without its experiment record is foreign: not reused, not overwritten.
rm bad/experiment.txt
sed 's/20..60 by 20/25..65 by 20/' exp.txt > changed.txt
"$lab" run changed.txt --out bad > /dev/null 2> err.txt
[ $? = 2 ] && grep -q "bad holds files but no experiment.txt" err.txt || fail "a folder without experiment.txt: $(cat err.txt)"
[ ! -e bad/experiment.txt ] || fail "the refusal wrote into the folder"
"$lab" collect bad > /dev/null 2> err.txt
[ $? = 1 ] && grep -q "bad is not a results folder" err.txt || fail "collect without experiment.txt: $(cat err.txt)"
mkdir mine && echo "my own table" > mine/results.csv && echo "my own base" > mine/base.csv
"$lab" run exp.txt --out mine > /dev/null 2> err.txt
[ $? = 2 ] && [ "$(cat mine/results.csv mine/base.csv)" = "my own table
my own base" ] || fail "a foreign folder's files: $(cat err.txt)"

# --- An experiment grown by a value keeps its finished runs ---------------------
cp -R good grown
rm -f count
sed 's/^vary 1.N .*/vary 1.N = 10, 20, 40, 60, 80/' exp.txt > grown.txt
"$lab" run grown.txt --jobs 2 --out grown --batch ./counting.sh > /dev/null 2> err.txt || fail "grown: $(cat err.txt)"
[ "$(wc -l < count)" = 4 ] || fail "the grown experiment ran $(wc -l < count) runs, not the 4 new ones"
# Every kept run's rows, under its new number, are the rows it had.
join_rows() { cut -d, -f2- "$1" | sort; }
join_rows good/results.csv > before.txt
join_rows grown/results.csv > after.txt
[ -z "$(comm -23 before.txt after.txt)" ] || fail "a kept run's rows changed: $(comm -23 before.txt after.txt | head -2)"
[ "$(wc -l < grown/results.csv)" = 51 ] || fail "the grown results.csv has $(wc -l < grown/results.csv) lines"
# Losing values loses runs: only with --restart.
"$lab" run exp.txt --out grown > /dev/null 2> err.txt
[ $? = 2 ] && grep -q "grown holds the runs of another experiment: 4 finished runs this one does not have" err.txt ||
    fail "dropping values: $(cat err.txt)"
rm -f count
"$lab" run exp.txt --out grown --restart --batch ./counting.sh > /dev/null 2>&1 || fail "--restart"
[ "$(wc -l < count)" = 6 ] && cmp -s grown/results.csv good/results.csv || fail "--restart did not redo every run"

# --- jobs' commands stay one a line -------------------------------------------
for code in 01 09 0a 0d 1b 1f 7f; do
    printf -v out "inj\\x${code}touch PWNED #"
    "$lab" jobs exp.txt --out "$out" > jobs.txt 2> err.txt
    [ $? = 2 ] && grep -q "\-\-out holds the control character 0x$code" err.txt ||
        fail "--out with 0x$code: $(cat err.txt)"
    [ ! -s jobs.txt ] && [ ! -e "$out" ] || fail "--out with 0x$code made something"
done
odd="it's \"odd\" \$HOME \`id\` \\ ; & é €"
"$lab" jobs exp.txt --out "$odd" > jobs.txt 2> err.txt || fail "jobs into an odd folder: $(cat err.txt)"
[ "$(wc -l < jobs.txt)" = 6 ] || fail "jobs printed $(wc -l < jobs.txt) lines"
while IFS= read -r line; do
    (cd / && sh -c "$line") > /dev/null 2>&1 || fail "a job failed: $line"
done < jobs.txt
"$lab" collect "$odd" > /dev/null 2>&1 || fail "collect of the odd folder"
cmp -s "$odd/results.csv" good/results.csv || fail "the odd folder's results differ"
[ ! -e PWNED ] && [ ! -e /PWNED ] || fail "a job line ran an injected command"

# --- Input files that are not files -------------------------------------------
mkfifo fifo.csv
for base in /dev/zero fifo.csv "$work"; do
    sed "s|^base .*|base = $base|" exp.txt > odd-base.txt
    timeout 20 "$lab" run odd-base.txt --out odd-base > /dev/null 2> err.txt
    [ $? = 2 ] && grep -q "cannot read the base file .*: not a regular file" err.txt ||
        fail "base = $base: $(cat err.txt)"
done
timeout 20 "$lab" run fifo.csv > /dev/null 2> err.txt
[ $? = 1 ] && grep -q "fifo.csv: cannot read it: not a regular file" err.txt || fail "a FIFO experiment: $(cat err.txt)"

[ $failures = 0 ] && echo "lab robustness: all checks passed"
exit $((failures > 0))
