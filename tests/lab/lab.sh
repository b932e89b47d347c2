#!/usr/bin/env bash
# ombrane-lab end to end on a tiny experiment (6 runs of 480 steps): the same
# results.csv with 1 and 2 jobs and through GNU Parallel running the printed
# jobs; a rerun skips finished runs and redoes a killed one; a changed
# experiment is refused; a failing run is reported and counted in the exit
# status; bad experiment files exit 2 naming the line before anything runs;
# plot draws both pictures. The Parallel part is skipped when parallel is
# missing (the rest still runs).
#
#   lab.sh <ombrane-batch> <source-dir>
. "$(dirname "$0")/../preamble.sh" lab "$@"

lab=$(cd "$(dirname "$batch")" && pwd)/ombrane-lab

cd "$work" || exit 1
cp "$source/examples/motorway-keep-right.csv" base.csv
cat > exp.txt <<'EOF'
# tiny: few cars, few steps
base     = base.csv
steps    = 480     # 30 s
warmup   = 160
detector = 0, 2640, 5280, 7920, 10560, 13200, 15840, 18480
vary 1.N = 20..60 by 20
vary 1.I = 1, 2
EOF

# Bad input: exit 2 naming the line, and nothing made.
expect_refusal() {  # <line to add> <expected message part>
    { cat exp.txt; echo "$1"; } > bad.txt
    "$lab" run bad.txt --out bad > out.txt 2> err.txt
    local code=$?
    [ $code = 2 ] || fail "'$1' exited $code, expected 2"
    grep -q "bad.txt:8: $2" err.txt || fail "'$1' said: $(cat err.txt)"
    [ ! -e bad ] || fail "'$1' made the results folder"
}
expect_refusal "colour = 3" "unknown key 'colour'"
expect_refusal "vary 0.J = 1" "unknown column letter 'J'"
expect_refusal "vary 50.N = 1" "group 50 is outside 0 to 49"
expect_refusal "vary 0.N = 9..1 by 2" "empty range"
expect_refusal "vary 0.A = 1..10000" "more than 10000 runs"
sed 's/^steps .*/steps = 0/' exp.txt > bad.txt
"$lab" run bad.txt --out bad 2> err.txt
[ $? = 2 ] && grep -q "bad.txt:3: steps needs" err.txt || fail "steps 0: $(cat err.txt)"
sed 's/^base .*/base = missing.csv/' exp.txt > bad.txt
"$lab" run bad.txt --out bad 2> err.txt
[ $? = 1 ] && grep -q "cannot read the base file" err.txt || fail "missing base: $(cat err.txt)"
"$lab" run exp.txt --jobs 0 2> /dev/null
[ $? = 2 ] || fail "--jobs 0 was accepted"

# One and two jobs: byte-identical tables, one row per run and lane.
"$lab" run exp.txt --jobs 1 --out one > one.txt 2>&1 || fail "run with 1 job: $(cat one.txt)"
"$lab" run exp.txt --jobs 2 --out two > two.txt 2>&1 || fail "run with 2 jobs: $(cat two.txt)"
cmp -s one/results.csv two/results.csv || fail "results.csv differs between 1 and 2 jobs"
cmp -s one/results-groups.csv two/results-groups.csv || fail "results-groups.csv differs"
[ "$(wc -l < one/results.csv)" = 31 ] || fail "results.csv has $(wc -l < one/results.csv) lines, not 31"
head -1 one/results.csv | grep -q '^run,1.N,1.I,lane,cars,density_vpmpl,flow_vph,' ||
    fail "results.csv header: $(head -1 one/results.csv)"
grep -q '^6,60,2,all,' one/results.csv || fail "no all row for run 6"
# A run's folder repeats by hand with ombrane-batch.
[ -s one/runs/0006/groups.csv ] && [ -s one/runs/0006/console.log ] &&
    [ -s one/runs/0006/groups.report.csv ] || fail "run 6's folder is incomplete"

# Resuming: a finished run is kept, a killed one (no result.csv) is run again.
touch -d '2000-01-01' one/runs/0002/result.csv
rm one/runs/0005/result.csv
echo "half a run" > one/runs/0005/measures.csv
"$lab" run exp.txt --jobs 2 --out one > resume.txt 2>&1 || fail "resume: $(cat resume.txt)"
[ "$(stat -c %Y one/runs/0002/result.csv)" = "$(date -d 2000-01-01 +%s)" ] ||
    fail "the rerun ran a finished run again"
cmp -s one/results.csv two/results.csv || fail "results.csv differs after resuming"

# A changed experiment is refused, unless --restart.
sed 's/^steps .*/steps = 560/' exp.txt > changed.txt
"$lab" run changed.txt --out one > out.txt 2> err.txt
[ $? = 2 ] && grep -q "holds the runs of another experiment" err.txt ||
    fail "a changed experiment was not refused: $(cat err.txt)"
cmp -s one/results.csv two/results.csv || fail "the refusal touched results.csv"
cp base.csv base2.csv && echo "0,,,,,,,,,,,,,,7" >> base2.csv
sed 's/^base .*/base = base2.csv/' exp.txt > changed.txt
"$lab" jobs changed.txt --out one > /dev/null 2> err.txt
[ $? = 2 ] || fail "a changed base was not refused"

# Failing runs: reported with the log's end, the others finish, 100 + count.
printf '#!/bin/sh\necho "broken batch says why"\nexit 3\n' > broken.sh
chmod +x broken.sh
"$lab" run exp.txt --jobs 2 --out broken --batch ./broken.sh > out.txt 2> err.txt
code=$?
[ $code = 106 ] || fail "six failed runs exited $code, expected 106"
grep -q "run 4 failed" err.txt && grep -q "broken batch says why" err.txt ||
    fail "a failed run's message: $(head -3 err.txt)"

# Killing ombrane-lab ends the runs it started; none of them looks finished,
# and the rerun completes them.
printf '#!/bin/sh\necho $$ > pid\nexec sleep 30\n' > slow.sh
chmod +x slow.sh
"$lab" run exp.txt --jobs 2 --out killed --batch ./slow.sh > /dev/null 2>&1 &
lab_pid=$!
# Both runs are waited for, for up to a minute: under the sanitizers on a
# busy machine the lab took more than the 5 s once given to start them.
for _ in $(seq 600); do
    [ -s killed/runs/0001/pid ] && [ -s killed/runs/0002/pid ] && break
    sleep 0.1
done
kill -TERM $lab_pid
wait $lab_pid
sleep 0.2
for run in 0001 0002; do
    pid=$(cat killed/runs/$run/pid 2> /dev/null)
    [ -n "$pid" ] || { fail "run $run never started"; continue; }
    # Ended, or a zombie that no init reaps (in a container).
    state=$(ps -o stat= -p "$pid" 2> /dev/null)
    [ -z "$state" ] || [ "${state#Z}" != "$state" ] ||
        { fail "run $run outlived ombrane-lab"; kill "$pid"; }
done
[ -z "$(ls killed/runs/*/result.csv 2> /dev/null)" ] || fail "a killed run looks finished"
"$lab" run exp.txt --jobs 2 --out killed > /dev/null 2>&1 || fail "rerun after the kill"
cmp -s killed/results.csv one/results.csv || fail "results.csv after a kill differs"

# On a terminal: runs done of the total, failed, elapsed, left.
if command -v script > /dev/null; then
    script -qec "'$lab' run exp.txt --jobs 2 --out tty" /dev/null > tty.txt 2>&1
    grep -q "6/6 runs done, 0 failed, [0-9:]* elapsed, 0:00 left" tty.txt ||
        fail "no progress line on a terminal: $(tr '\r' '\n' < tty.txt | tail -3)"
fi
"$lab" run exp.txt --jobs 2 --out quiet > quiet.txt 2>&1
! grep -q "runs done" quiet.txt || fail "a progress line went to a file"

# The earlier edition and the zone reach ombrane-batch.
sed 's/^vary 1.I .*/edition = legacy/' exp.txt > legacy.txt
"$lab" run legacy.txt --out legacy > /dev/null 2>&1 || fail "legacy experiment"
grep -q "simulator 0.7" legacy/runs/0001/console.log || fail "the legacy run ran 0.8"
grep -q '^3,60,all,' legacy/results.csv || fail "legacy results: $(tail -1 legacy/results.csv)"

# GNU Parallel runs the printed jobs; collect gives the same table.
if command -v parallel > /dev/null; then
    "$lab" jobs exp.txt --out shared > jobs.txt || fail "jobs"
    [ "$(wc -l < jobs.txt)" = 6 ] || fail "jobs printed $(wc -l < jobs.txt) commands, not 6"
    (cd / && parallel --will-cite -j 2 < "$work/jobs.txt") || fail "parallel failed"
    "$lab" collect shared > /dev/null || fail "collect"
    cmp -s shared/results.csv one/results.csv || fail "results.csv through parallel differs"
    "$lab" jobs exp.txt --out shared > again.txt
    [ ! -s again.txt ] || fail "jobs printed finished runs"
else
    echo "SKIP: no GNU parallel; the jobs part was not run"
fi
"$lab" collect broken > /dev/null 2>&1
[ $? = 3 ] || fail "collect of unfinished runs did not exit 3"

if command -v gnuplot > /dev/null; then
    "$lab" plot one > /dev/null 2> err.txt || fail "plot: $(cat err.txt)"
    for png in fundamental:1400x650 groups:1200x750; do
        name=${png%%:*}
        [ -s one/$name.png ] || fail "$name.png was not drawn"
        [ -s one/$name.gp ] && [ -s one/$name.dat ] || fail "$name's script or data is missing"
        if command -v identify > /dev/null; then
            size=$(identify -format '%wx%h' one/$name.png)
            [ "$size" = "${png#*:}" ] || fail "$name.png is $size"
            # Something coloured inside the (first) plotting area: a series, not
            # only the black and grey of frame, text and grid.
            coloured=$(convert one/$name.png -crop 500x400+100+100 +repage -colorspace HSL \
                -channel G -separate -format '%[fx:maxima > 0.3 ? 1 : 0]' info:)
            [ "$coloured" = 1 ] || fail "$name.png shows no series"
        fi
    done
    # Two series of three points each, one per value of the second vary.
    [ "$(grep -c '^[0-9]' one/fundamental.dat)" = 6 ] || fail "fundamental.dat: $(cat one/fundamental.dat)"
    # Legends and titles in words.
    grep -q "title 'right-change policy of Cars (group 1, I) = 2: right when held up'" one/fundamental.gp ||
        fail "no series for 1.I=2 in words: $(grep -o "title '[^']*'" one/fundamental.gp)"
    grep -q "varying cars of Cars (group 1, N)" one/fundamental.gp || fail "the title does not say what varies"
    grep -q "set xlabel 'cars of Cars (group 1, N)'" one/groups.gp || fail "groups.gp's axis: $(grep xlabel one/groups.gp)"
    # Lanes: the lanes that held cars (default), one lane, all of the road, each.
    "$lab" plot one --lane all > /dev/null 2>&1 || fail "plot --lane all"
    grep -q "of all four lanes, per lane" one/fundamental.dat || fail "--lane all: $(head -1 one/fundamental.dat)"
    "$lab" plot one --lane 2 > /dev/null 2>&1 || fail "plot --lane 2"
    grep -q "of lane 2," one/fundamental.dat || fail "--lane 2: $(head -1 one/fundamental.dat)"
    "$lab" plot one --lane each > /dev/null 2>&1 || fail "plot --lane each"
    grep -q ", lane 1'" one/fundamental.gp || fail "--lane each draws no lane of its own"
    "$lab" plot one --lane 0 > /dev/null 2>&1
    [ $? = 2 ] || fail "--lane 0 was accepted"

    # The one-lane study: its diagram shows the lane's own flow (the issue's
    # trap: the all rows average in three empty lanes, a quarter of it).
    printf '%s\n' '#Group,Adesired,Fleft,Iright,Ncars,Rreport,1,2,3,4,Wname' \
        '0,65,10,3,0,x,100,0,0,0,Commuters' > onelane.csv
    printf '%s\n' 'base = onelane.csv' 'steps = 480' 'warmup = 160' \
        'detector = 0, 5280, 10560, 15840' 'vary 0.1 = 100, 200' > onelane.txt
    "$lab" run onelane.txt --jobs 2 > /dev/null 2>&1 || fail "one-lane study"
    "$lab" plot onelane-results > /dev/null 2> err.txt || fail "one-lane plot: $(cat err.txt)"
    lane1=$(awk -F, '$3 == "1" { printf "%s ", $6 }' onelane-results/results.csv)
    drawn=$(awk '/^[0-9]/ { printf "%.1f ", $2 }' onelane-results/fundamental.dat)
    [ -n "$lane1" ] && [ "$lane1" = "$drawn" ] ||
        fail "the one-lane diagram draws flows '$drawn', lane 1 carried '$lane1'"
    awk '/^[0-9]/ && $2 > 2000 { found = 1 } END { exit !found }' onelane-results/fundamental.dat ||
        fail "the one-lane diagram peaks below 2000 vph: $(cat onelane-results/fundamental.dat)"
    grep -q "cars in lane 1 of Commuters (group 0, column 1)" onelane-results/fundamental.gp ||
        fail "the group's name is not in the title: $(grep multiplot onelane-results/fundamental.gp)"

    # A table the plot cannot use is refused with the reason, never read past
    # a row's end (issue 28: garbage points and exit 0, an abort under ASan).
    cp -r one damaged
    cut -d, -f1-2,4- one/results.csv > damaged/results.csv      # without 1.I
    "$lab" plot damaged > /dev/null 2> err.txt
    [ $? = 1 ] && grep -q "results.csv:1: column 3 is 'lane' where the experiment needs '1.I'" err.txt ||
        fail "a table without a varied column: $(cat err.txt)"
    cut -d, -f1-7 one/results.csv > damaged/results.csv         # no speed columns
    "$lab" plot damaged > /dev/null 2> err.txt
    [ $? = 1 ] && grep -q "needs 'space_mean_speed_mph'" err.txt || fail "a table without speeds: $(cat err.txt)"
    { cat one/results.csv; echo "7,60"; } > damaged/results.csv # a short row
    "$lab" plot damaged > /dev/null 2> err.txt
    [ $? = 1 ] && grep -q "results.csv:32: 2 fields where the header has" err.txt ||
        fail "a short row: $(cat err.txt)"
    sed '3s/,2,/,2,9,/' one/results.csv > damaged/results.csv    # a long row
    "$lab" plot damaged > /dev/null 2> err.txt
    [ $? = 1 ] && grep -q "results.csv:3: " err.txt || fail "a long row: $(cat err.txt)"
    head -1 one/results.csv | cut -d, -f1 > damaged/results.csv  # only the run column
    "$lab" plot damaged > /dev/null 2> err.txt
    [ $? = 1 ] && grep -q "results.csv:1: column 2 is ''" err.txt || fail "a header of one column: $(cat err.txt)"
    : > damaged/results.csv
    "$lab" plot damaged > /dev/null 2> err.txt
    [ $? = 1 ] && grep -q "results.csv is empty" err.txt || fail "an empty table: $(cat err.txt)"
fi

# Sections: density, flow and speed of the table come from the stretches
# (Edie), so flow = density x speed on every row with cars.
{ cat exp.txt; echo "section = 0..5280, 20000..1000"; } | grep -v '^vary 1.I' > sections.txt
"$lab" run sections.txt --jobs 2 > /dev/null 2>&1 || fail "an experiment with sections"
[ -s sections-results/runs/0001/sections.csv ] || fail "the runs did not measure the sections"
grep -q '^section = 0..5280, 20000..1000$' sections-results/experiment.txt ||
    fail "the folder's experiment lost its sections"
awk -F, 'NR > 1 && $7 != "" {
        err = $6 - $5 * $7; if (err < 0) err = -err
        if (err > 0.0005 * ($5 + $7) + 0.05) { print "row " NR ": " $0; bad = 1 }
    } END { exit bad }' sections-results/results.csv || fail "flow is not density x speed with sections"

[ $failures = 0 ] && echo "lab: all checks passed"
exit $((failures > 0))
