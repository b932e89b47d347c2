#!/usr/bin/env bash
# Loud input and command lines as users expect, end to end: every trap of a
# groups file is warned about on ombrane-batch's standard error with its file
# and line while the console and the run stay as they were; --strict refuses
# it; correct files stay silent in both editions; --help, --version, --quiet,
# --report and a bad option naming itself; ombrane-lab refuses a base the
# reader refuses or warns about, varied values the reader would read
# otherwise, a varied group the base does not set, and counts a run's
# console shows unread.
#
#   loud_input.sh <ombrane-batch> <source-dir>
. "$(dirname "$0")/../preamble.sh" loud "$@"
lab=$(cd "$(dirname "$batch")" && pwd)/ombrane-lab

cd "$work" || exit 1
m=$source/examples/motorway-keep-right.csv
cp "$m" m.csv
# Line numbers found in the example, so that its comments may change: the
# real header row, the rows of groups 0 and 1, and the last line.
header=$(grep -n '^#Group,' m.csv | cut -d: -f1)
row0=$(grep -n '^0,' m.csv | cut -d: -f1)
row1=$(grep -n '^1,' m.csv | cut -d: -f1)
last=$(wc -l < m.csv)

# --- The traps, each with its reproducer: warned on stderr, run as before.
sed 's/,/, /g' m.csv > spaces.csv
sed 's/,/;/g' m.csv > semicolons.csv
head -c -1 m.csv > nolinefeed.csv
sed 's/^1,RoyalBlue,72/1,RoyalBlue,sixty-five/' m.csv > text.csv
sed 's/,x,90,30,0,0,Trucks/,x,600,30,0,0,Trucks/' m.csv > lane.csv
sed 's/^1,RoyalBlue,\(.*\),450,/1,RoyalBlue,\1,2500,/' m.csv > road.csv
expect_warning() {  # <file> <expected stderr part>
    "$batch" --steps 16 "$1" > out.txt 2> err.txt
    local code=$?
    [ $code = 0 ] || fail "$1 exited $code without --strict"
    grep -qF "ombrane-batch: $1:$2" err.txt || fail "$1 warned: $(cat err.txt)"
    grep -q '^>>' out.txt && fail "$1: the warning went to the console (standard output)"
    "$batch" --strict --steps 16 "$1" > out.txt 2> err.txt
    code=$?
    [ $code = 1 ] || fail "$1 --strict exited $code, expected 1"
    grep -q "ombrane-batch: --strict: $1 was read with .* warning.*; nothing was run" err.txt ||
        fail "$1 --strict said: $(cat err.txt)"
    grep -q "^Ran to step" out.txt && fail "$1 --strict ran"
}
expect_warning spaces.csv "$header: the header row names no known column"
expect_warning semicolons.csv "$header: the header row names no known column"
expect_warning semicolons.csv " no row places a car"
expect_warning nolinefeed.csv "$last: the last line has no line feed"
expect_warning text.csv "$row1: column A: 'sixty-five' is no number: read as 0"
expect_warning lane.csv "$row0: lane 1 holds 586 cars: 14 of the 600"
expect_warning road.csv "$row1: the road holds 2344 cars"

# The console of a file with warnings is the console it had: only standard
# error learns more.
"$batch" --steps 16 text.csv > with.txt 2> /dev/null
sed 's/^1,RoyalBlue,sixty-five/1,RoyalBlue,0/' text.csv > zero.csv
"$batch" --steps 16 zero.csv > without.txt 2> /dev/null
sed 's/zero\.csv/text.csv/' without.txt | cmp -s - with.txt || fail "warnings changed the console"

# --- Correct files: no warning in either edition, and --strict runs them.
for f in "$source"/examples/*.csv "$source"/bench/busy-dense-road.csv; do
    cp "$f" ok.csv
    for legacy in "" --legacy; do
        "$batch" $legacy --strict --steps 16 ok.csv > /dev/null 2> err.txt ||
            fail "$(basename "$f") $legacy --strict exited $?"
        [ -s err.txt ] && fail "$(basename "$f") $legacy warned: $(cat err.txt)"
    done
done

# --- Command lines.
"$batch" --stepz > out.txt 2> err.txt
[ $? = 2 ] || fail "--stepz did not exit 2"
[ "$(head -1 err.txt)" = "ombrane-batch: --stepz: unknown option" ] || fail "--stepz said: $(cat err.txt)"
[ "$(wc -l < err.txt)" = 2 ] && grep -q -- "--help" err.txt || fail "--stepz: not a one-line hint: $(cat err.txt)"
[ -s out.txt ] && fail "--stepz wrote to standard output"
"$batch" --steps ten 2> err.txt
[ $? = 2 ] && grep -q "^ombrane-batch: --steps: 'ten' is not" err.txt || fail "--steps ten: $(cat err.txt)"
"$batch" --legacy --zone 2> err.txt
[ $? = 2 ] && grep -q "^ombrane-batch: --zone:" err.txt || fail "--legacy --zone: $(cat err.txt)"
"$batch" --help > out.txt 2> err.txt
[ $? = 0 ] && grep -q "^usage: ombrane-batch" out.txt && [ ! -s err.txt ] || fail "--help"
[ "$("$batch" --version)" = "ombrane-batch 0.8" ] || fail "--version: $("$batch" --version)"
[ "$("$batch" --version --legacy)" = "ombrane-batch 0.7" ] || fail "--version --legacy"

for legacy in "" --legacy; do
    "$batch" $legacy --steps 160 m.csv > loud.txt
    "$batch" $legacy --quiet --steps 160 m.csv > quiet.txt
    grep -q "hit <" loud.txt || fail "$legacy: no hints to leave out"
    grep -q -e "hit <" -e "File menu" -e "Use <spacebar>" quiet.txt && fail "$legacy --quiet kept a hint"
    grep -v -e "hit <" -e "File menu" -e "Use <spacebar>" -e "^-*.$" loud.txt > expected.txt
    grep -v -e "^-*.$" quiet.txt | cmp -s - expected.txt || fail "$legacy --quiet left out more than the hints"
done

rm -f m.report.csv
"$batch" --steps 160 m.csv > /dev/null && mv m.report.csv beside.csv
"$batch" --steps 160 --report elsewhere.csv m.csv > /dev/null || fail "--report exited $?"
[ -e m.report.csv ] && fail "--report still wrote beside the groups file"
cmp -s elsewhere.csv beside.csv || fail "--report wrote other bytes"
"$batch" --report x.csv 2> err.txt
[ $? = 2 ] && grep -q "^ombrane-batch: --report needs a groups file" err.txt || fail "--report alone: $(cat err.txt)"

# --- ombrane-lab: nothing runs that the reader would read otherwise.
lab_refuses() {  # <base> <experiment lines> <expected stderr part>
    printf 'base = %s\nsteps = 160\n%s\n' "$1" "$2" > e.txt
    "$lab" jobs e.txt --out out > /dev/null 2> err.txt
    local code=$?
    [ $code = 2 ] || fail "lab '$1' '$2' exited $code, expected 2: $(cat err.txt)"
    grep -qF -- "$3" err.txt || fail "lab '$1' '$2' said: $(cat err.txt)"
    [ -e out ] && fail "lab '$1' '$2' made the results folder"
    rm -rf out
}
{ head -6 m.csv; printf '#%01100d\n' 0; tail -n +7 m.csv; } > long.csv
lab_refuses long.csv "" "long.csv:7: "
# A note of 1,023 characters, one a carriage return, which the reader drops.
{ head -8 m.csv; printf 'note %01016d\r1\n' 0; tail -n +9 m.csv; } > cr.csv
printf 'base = cr.csv\nsteps = 160\n' > e.txt
"$lab" jobs e.txt --out out > /dev/null 2> err.txt
[ $? = 0 ] || fail "a 1,022-character line with a CR inside was refused: $(cat err.txt)"
grep -c "Gold" out/runs/0001/groups.csv > /dev/null || fail "the run's groups lost the rows after a line with a CR inside"
rm -rf out
mkdir folder.csv
lab_refuses folder.csv "" "folder.csv"
lab_refuses spaces.csv "" "spaces.csv:$header: the header row names no known column"
lab_refuses text.csv "" "text.csv:$row1: column A"
lab_refuses m.csv "vary 1.N = 0x10, 1e3, 2.9" "e.txt:3: vary 1.N: the runs would not read it as written: '0x10' is read as 0"
lab_refuses m.csv "vary 1.N = 10, 2.9" "'2.9' is read as 2"
lab_refuses m.csv "vary 1.N = 10..12 by 0.5" "'10.5' is read as 10"
lab_refuses m.csv "vary 1.A = 1e39" "e.txt:3: vary 1.A: the runs would not read it as written: '1e39' is not a usable number"
lab_refuses m.csv "vary 1.E = 1, 7" "7 is no lane"
lab_refuses m.csv "vary 5.N = 3" "e.txt:3: vary 5.N: the base m.csv does not set group 5"
lab_refuses m.csv "vary 1.N = 100, 2500" "e.txt:3: with 1.N = 2500: the road holds 2344 cars"
printf 'base = m.csv\nsteps = 160\nvary 5.N = 3\ndefaults = built-in\n' > e.txt
"$lab" jobs e.txt --out out > /dev/null 2> err.txt || fail "defaults = built-in was refused: $(cat err.txt)"
grep -q "^defaults = built-in$" out/experiment.txt || fail "the results folder forgot defaults = built-in"
rm -rf out

# A run whose console shows that its groups file was read only in part fails,
# whatever the exit status of the program that ran it.
cat > fake-batch <<'EOF'
#!/bin/sh
printf 'Read 1 groups from groups.csv\r\nThe error was Line 3 too long\r\n'
for f in measures.csv group-measures.csv; do : > "$f"; done
exit 0
EOF
chmod +x fake-batch
printf 'base = m.csv\nsteps = 160\n' > e.txt
"$lab" run e.txt --out out --batch ./fake-batch > /dev/null 2> err.txt
[ $? = 101 ] && grep -q "run 1 failed (its console shows that groups.csv was not read in full)" err.txt ||
    fail "a partial read counted as done: $(cat err.txt)"

"$lab" run e.txt --jobz 2 > out.txt 2> err.txt
[ $? = 2 ] && [ "$(head -1 err.txt)" = "ombrane-lab: --jobz: unknown option" ] && [ "$(wc -l < err.txt)" = 2 ] ||
    fail "lab --jobz: $(cat err.txt)"
"$lab" --help > out.txt 2> err.txt
[ $? = 0 ] && grep -q "^usage: ombrane-lab" out.txt && [ ! -s err.txt ] || fail "lab --help"
[ "$("$lab" --version)" = "ombrane-lab 0.8" ] || fail "lab --version: $("$lab" --version)"

[ $failures = 0 ] || { echo "loud_input: $failures failure(s)" >&2; exit 1; }
echo "loud_input: all checks passed"
