#!/usr/bin/env bash
# ombrane-lab over a scenario base, end to end on a tiny noisy ring (2 values
# x 2 seeds of 160 steps): the seed column, summary.csv's means and
# intervals against results.csv, a run's folder that repeats it by hand,
# the same tables with 1 and 2 jobs, a changed scenario refused, and the
# fundamental diagram's error bars. The picture is skipped without gnuplot.
#
#   lab_scenario.sh <ombrane-batch> <source-dir>
. "$(dirname "$0")/../preamble.sh" lab_scenario "$@"

lab=$(cd "$(dirname "$batch")" && pwd)/ombrane-lab

cd "$work" || exit 1
mkdir sub
cp "$source/examples/uniform-ring.csv" sub/ring.csv
cat > sub/ring.scenario <<'EOF2'
groups = ring.csv
start = even
seed = 99
noise group 0 = 0.05
at 0:04 group 0 A = 50
EOF2
cat > exp.txt <<'EOF2'
base = sub/ring.scenario   # its groups file lies beside it
steps = 160
period = 80
vary event 1 value = 40, 55
repeat = 2
EOF2

"$lab" run exp.txt --jobs 1 --out one > out.txt 2>&1 || fail "run: $(cat out.txt)"
"$lab" run exp.txt --jobs 2 --out two > out.txt 2>&1 || fail "run with 2 jobs: $(cat out.txt)"
cmp -s one/results.csv two/results.csv && cmp -s one/summary.csv two/summary.csv ||
    fail "the tables differ between 1 and 2 jobs"
head -1 one/results.csv | grep -q '^run,event1_value,seed,lane,cars,' ||
    fail "results.csv header: $(head -1 one/results.csv)"
[ "$(cut -d, -f1-4 one/results.csv | grep ',all$' | tr '\n' ' ')" = \
  "1,40,1,all 2,40,2,all 3,55,1,all 4,55,2,all " ] || fail "runs and seeds: $(cut -d, -f1-4 one/results.csv)"
grep -q '^seed = 2$' one/runs/0004/run.scenario && grep -q '^at 0:04 group 0 A = 55$' one/runs/0004/run.scenario ||
    fail "run 4's scenario: $(cat one/runs/0004/run.scenario)"
# Two seeds give two runs, not one twice.
[ "$(grep '^1,' one/results.csv | grep ',all,' | cut -d, -f5-)" != "$(grep '^2,' one/results.csv | grep ',all,' | cut -d, -f5-)" ] ||
    fail "seeds 1 and 2 gave the same run"

# summary.csv: one row per value and lane, the mean of the two seeds, and
# the interval t(1) s / sqrt(2) = 12.706 |a - b| / 2.
head -1 one/summary.csv | grep -q '^event1_value,lane,runs,cars_mean,cars_ci95,density_vpmpl_mean,' ||
    fail "summary.csv header: $(head -1 one/summary.csv)"
[ "$(wc -l < one/summary.csv)" = 11 ] || fail "summary.csv has $(wc -l < one/summary.csv) lines, not 11"
column=$(head -1 one/results.csv | tr ',' '\n' | grep -n '^space_mean_speed_mph$' | cut -d: -f1)
expected=$(awk -F, -v c="$column" '$2 == 55 && $4 == "all" { v[++n] = $c }
    END { d = v[1] - v[2]; if (d < 0) d = -d; printf "%.4f,%.4f", (v[1] + v[2]) / 2, 12.706 * d / 2 }' one/results.csv)
got=$(awk -F, '$1 == 55 && $2 == "all" { print $10 "," $11 }' one/summary.csv)
[ "$got" = "$expected" ] || fail "summary speed for 55, all: $got, expected $expected"

# The run's folder is enough to repeat it by hand.
(cd one/runs/0003 && "$batch" --steps 160 --multiplier 16 --measures again.csv \
    --group-measures again-groups.csv --period 80 run.scenario > /dev/null 2>&1) || fail "run 3 by hand"
cmp -s one/runs/0003/measures.csv one/runs/0003/again.csv || fail "run 3 by hand measured otherwise"

# A changed scenario is a changed base: refused, naming a run.
sed -i 's/0.05/0.06/' sub/ring.scenario
"$lab" run exp.txt --out one > out.txt 2> err.txt
[ $? = 2 ] && grep -q "holds the runs of another experiment" err.txt ||
    fail "a changed scenario was not refused: $(cat err.txt)"

# A vary the scenario cannot take: FILE:LINE, exit 2, nothing made.
echo "vary event 2 time = 0:05" >> exp.txt
"$lab" run exp.txt --out bad > out.txt 2> err.txt
[ $? = 2 ] && grep -q "exp.txt:6: vary event 2 time: the scenario sub/ring.scenario has 1 event" err.txt ||
    fail "event 2 of 1: $(cat err.txt)"
[ ! -e bad ] || fail "a refused experiment made its folder"

if command -v gnuplot > /dev/null; then
    "$lab" plot one > out.txt 2>&1 || fail "plot: $(cat out.txt)"
    [ -s one/fundamental.png ] || fail "no fundamental.png"
    grep -q 'xyerrorbars' one/fundamental.gp || fail "no error bars in fundamental.gp"
    [ "$(grep -v '^#' one/fundamental.dat | awk 'NF' | awk '{ print NF }' | sort -u)" = 6 ] ||
        fail "fundamental.dat rows are not means and intervals: $(cat one/fundamental.dat)"
fi

[ $failures = 0 ] && echo "lab_scenario: all checks passed"
exit $((failures > 0))
