#!/usr/bin/env bash
# ombrane-batch where a run cannot be what it was asked to be: a partly read
# groups file, report lines that cannot be written, a --steps past the last
# countable step. Each must end in its documented exit status, and a script
# must not mistake it for a clean run.
#
#   batch_faults.sh <ombrane-batch> <source-dir>
. "$(dirname "$0")/../preamble.sh" batch-faults "$@"

cd "$work"

# run <expected-status> <log> <arguments...>
run() {
    local expected=$1 log=$2
    shift 2
    "$batch" "$@" > "$log" 2> "$log.err"
    local status=$?
    [ "$status" -eq "$expected" ] || fail "$* exited $status, expected $expected: $(cat "$log.err")"
}

printf '#,A,N\n0,60,10\n1,50,10\n' > m.csv

# A third row longer than a line may hold used to run as if the file were whole.
{ printf '#,A,N\n0,60,10\n1,50,10\n2,'; head -c 2000 /dev/zero | tr '\0' 9; printf '\n3,40,10\n'; } > part.csv
for edition in "" --legacy; do
    run 1 part.log $edition --steps 80 part.csv
    grep -q $'^Read 2 groups from part.csv\r$' part.log || fail "part.csv $edition: $(cat part.log)"
    grep -q $'^The error was Line 4 too long\r$' part.log || fail "part.csv $edition: no reason"
    grep -q 'part.csv was read only in part' part.log.err || fail "part.csv $edition: $(cat part.log.err)"
    grep -q '^Ran to step' part.log && fail "part.csv $edition: the run went on"
done

# A full disk: used to exit 0 with an empty report and not a word.
ln -s /dev/full m.report.csv
for edition in "" --legacy; do
    run 3 full.log $edition --steps 800 m.csv
    [ "$(grep -c 'Cannot write filename m.report.csv: No space left on device' full.log)" -eq 1 ] ||
        fail "full disk $edition: want the failure logged once: $(cat full.log)"
    grep -q '^Ran to step 800 ' full.log || fail "full disk $edition: the run did not finish"
    grep -q '^ombrane-batch: 11 report lines could not be written to m.report.csv$' full.log.err ||
        fail "full disk $edition: $(cat full.log.err)"
done
rm m.report.csv

# A folder in the report file's place: logged once, not at every report point.
mkdir m.report.csv
run 3 folder.log --steps 800 m.csv
[ "$(grep -c 'Cannot open filename m.report.csv: Is a directory' folder.log)" -eq 1 ] ||
    fail "folder: $(cat folder.log)"
rmdir m.report.csv

# A report file that can be written leaves the exit status and output alone.
run 0 clean.log --steps 800 m.csv
[ ! -s clean.log.err ] || fail "clean run wrote to stderr: $(cat clean.log.err)"
grep -q 'report' clean.log && fail "clean run: $(grep report clean.log)"

# A snapshot at step 2147483647 - 5: five more steps can be counted, 200 cannot.
run 0 save.log --legacy --steps 80 --save s.omb m.csv
printf '\xfa\xff\xff\x7f' | dd of=s.omb bs=1 seek=72 conv=notrunc status=none
run 2 far.log --legacy --restore s.omb --steps 200 m.csv
grep -q -- '--steps 200 cannot be run from step 2147483642: steps are counted up to 2147483647, so at most 5 more' far.log.err ||
    fail "unreachable --steps: $(cat far.log.err)"
grep -q '^Ran to step' far.log && fail "unreachable --steps: the run went on"
run 0 near.log --legacy --restore s.omb --steps 5 m.csv
grep -q '^Ran to step 2147483647 ' near.log || fail "reachable --steps: $(tail -1 near.log)"
grep -q 'Stopped at step' near.log && fail "reachable --steps: stopped early"

if [ "$failures" -ne 0 ]; then
    echo "$failures check(s) failed" >&2
    exit 1
fi
echo "batch_faults: all checks passed"
