#!/usr/bin/env bash
# ombrane-batch's measuring options: a run with all of them is the same run
# (console, --dump and report file byte for byte, both editions); the
# measures files have their rows; flow = density x space-mean speed on a long
# run; trajectories are refused past 1 GB; bad values exit 2 and unwritable
# outputs exit 1 before anything runs; a file that fails while writing makes
# the run exit non-zero.
#
#   measures.sh <ombrane-batch> <source-dir>
# OMBRANE_SHORT=1 (the sanitizer build) shortens the long run.
. "$(dirname "$0")/../preamble.sh" measures "$@"

# --- The same run, with and without every new option --------------------------
for edition in current legacy; do
    flag=()
    [ "$edition" = legacy ] && flag=(--legacy)
    for kind in plain measured; do
        dir=$work/same-$edition-$kind
        mkdir -p "$dir"
        cp "$source/examples/stop-and-go-wave.csv" "$dir/"
        extra=()
        if [ "$kind" = measured ]; then
            extra=(--measures m.csv --group-measures g.csv --detector 100 --detector 9000
                   --period 33 --trajectories t.csv --every 5 --section-measures s.csv
                   --section 100..9000 --section 20000..500)
            command -v gnuplot > /dev/null && extra+=(--plot plots)
        fi
        multiplier=()
        [ "$edition" = current ] && multiplier=(--multiplier 7)
        (cd "$dir" && "$batch" "${flag[@]}" "${multiplier[@]}" --steps 600 --dump dump.csv \
            "${extra[@]}" stop-and-go-wave.csv > out.txt 2> err.txt) ||
            fail "$edition $kind: exit $?"
    done
    for f in out.txt dump.csv stop-and-go-wave.report.csv; do
        cmp -s "$work/same-$edition-plain/$f" "$work/same-$edition-measured/$f" ||
            fail "$edition: $f differs when measuring"
    done
    # Standard error only adds the line that says gnuplot is drawing.
    grep -v '^ombrane-batch: drawing the pictures in plots with gnuplot$' \
        "$work/same-$edition-measured/err.txt" | cmp -s "$work/same-$edition-plain/err.txt" - ||
        fail "$edition: err.txt differs when measuring"
done

# --- The measures files -------------------------------------------------------
dir=$work/same-current-measured
header='time_s,lane,cars,density_vpmpl,flow_vph,space_mean_speed_mph,time_mean_speed_mph,stopped_cars,jams,lane_changes'
[ "$(head -n 1 "$dir/m.csv")" = "$header" ] || fail "measures header: $(head -n 1 "$dir/m.csv")"
# 600 steps in periods of 33: 18 whole periods, five rows each.
[ "$(wc -l < "$dir/m.csv")" -eq $((18 * 5 + 1)) ] || fail "measures rows: $(wc -l < "$dir/m.csv")"
# Lanes are numbered 1 (right) to 4, as in the groups file and the window.
[ "$(sed -n 2p "$dir/m.csv" | cut -d, -f1,2)" = "2.0625,1" ] || fail "first row: $(sed -n 2p "$dir/m.csv")"
[ "$(cut -d, -f2 "$dir/m.csv" | sed 1d | sort -u | tr '\n' ' ')" = "1 2 3 4 all " ] ||
    fail "measures lanes: $(cut -d, -f2 "$dir/m.csv" | sort -u | tr '\n' ' ')"
[ "$(sed -n 6p "$dir/m.csv" | cut -d, -f1-3)" = "2.0625,all,1004.000" ] || fail "all row: $(sed -n 6p "$dir/m.csv")"
[ "$(head -n 1 "$dir/g.csv")" = "time_s,group,cars,space_mean_speed_mph,stopped_cars,lane_changes,distance_mi" ] ||
    fail "group header: $(head -n 1 "$dir/g.csv")"
# Per period, the groups' cars add up to the road's.
awk -F, 'NR > 1 { c[$1] += $3 } END { for (t in c) if (c[t] != 1004) { print t, c[t]; exit 1 } }' "$dir/g.csv" ||
    fail "group cars do not add up to 1004"
# A row per car at step 0 and every 5 steps: 121 times 1004 cars.
[ "$(wc -l < "$dir/t.csv")" -eq $((121 * 1004 + 1)) ] || fail "trajectory rows: $(wc -l < "$dir/t.csv")"
[ "$(sed -n 2p "$dir/t.csv")" = "0,0,0,1,0.00,0.000,0" ] || fail "first trajectory row: $(sed -n 2p "$dir/t.csv")"

[ "$(cut -d, -f4 "$dir/t.csv" | sed 1d | sort -u | tr '\n' ' ')" = "1 2 3 4 " ] ||
    fail "trajectory lanes: $(cut -d, -f4 "$dir/t.csv" | sed 1d | sort -u | tr '\n' ' ')"

# Sections: 18 periods, two sections (one past the road's end), five rows each;
# flow = density x speed on every row with a speed, within the printed decimals.
[ "$(head -n 1 "$dir/s.csv")" = "time_s,section,lane,density_vpmpl,flow_vph,space_mean_speed_mph,vehicle_miles,vehicle_hours" ] ||
    fail "sections header: $(head -n 1 "$dir/s.csv")"
[ "$(wc -l < "$dir/s.csv")" -eq $((18 * 2 * 5 + 1)) ] || fail "sections rows: $(wc -l < "$dir/s.csv")"
[ "$(cut -d, -f2 "$dir/s.csv" | sed 1d | sort -u | tr '\n' ' ')" = "100..9000 20000..500 " ] ||
    fail "section names: $(cut -d, -f2 "$dir/s.csv" | sed 1d | sort -u | tr '\n' ' ')"
awk -F, 'NR > 1 && $6 != "" {
        err = $5 - $4 * $6; if (err < 0) err = -err
        if (err > 0.0005 * ($4 + $6) + 0.001) { print "row " NR ": " $0; bad = 1 }
        if ($4 * 1 > 0 && $8 * 1 <= 0) { print "density without time: " $0; bad = 1 }
    }
    NR > 1 && $2 == "100..9000" && $3 != "all" { cars += $4 }
    END { if (cars <= 0) { print "no car in 100..9000"; bad = 1 }; exit bad }' "$dir/s.csv" ||
    fail "flow is not density x speed in the sections"

# Measured every step: the multiplier changes nothing in the figures.
dir=$work/multiplier
mkdir -p "$dir"
cp "$source/examples/american-free-for-all.csv" "$dir/"
for m in 1 7; do
    (cd "$dir" && "$batch" --steps 320 --multiplier $m --measures m$m.csv --group-measures g$m.csv \
        american-free-for-all.csv > /dev/null 2>&1) || fail "multiplier $m: exit $?"
done
cmp -s "$dir/m1.csv" "$dir/m7.csv" || fail "measures differ between multipliers 1 and 7"
cmp -s "$dir/g1.csv" "$dir/g7.csv" || fail "group measures differ between multipliers 1 and 7"
grep -q ',all,.*,[1-9][0-9]*$' "$dir/m1.csv" || fail "no lane change counted in american-free-for-all"

# --- Flow = density x space-mean speed after a warm-up ---------------------------
steps=28800 warmup=600 progress=19200
[ "${OMBRANE_SHORT:-0}" = 1 ] && steps=4800 warmup=100 progress=1600
dir=$work/hydro
mkdir -p "$dir"
cp "$source/examples/motorway-keep-right.csv" "$dir/"
detectors=()
for k in 0 1 2 3 4 5 6 7; do detectors+=(--detector $((k * 2640))); done
(cd "$dir" && "$batch" --steps $steps --multiplier 16 --measures m.csv "${detectors[@]}" \
    motorway-keep-right.csv > /dev/null 2>&1) || fail "long run: exit $?"
awk -F, -v warmup=$warmup '
    NR > 1 && $1 > warmup { flow[$2] += $5; kv[$2] += $4 * $6 }
    END {
        bad = 0
        for (lane in flow) {
            r = flow[lane] / kv[lane]
            printf "lane %s: flow / (density x speed) = %.4f\n", lane, r
            if (r < 0.98 || r > 1.02) bad = 1
        }
        exit bad
    }' "$dir/m.csv" || fail "flow and density x speed differ by more than 2 %"
# The whole road as a section (the default): its density is the road's own.
(cd "$dir" && "$batch" --steps 1600 --multiplier 16 --measures w.csv --section-measures ws.csv \
    motorway-keep-right.csv > /dev/null 2>&1) || fail "whole-road section run: exit $?"
[ "$(grep ',all,' "$dir/w.csv" | cut -d, -f1,4)" = "$(grep ',all,' "$dir/ws.csv" | cut -d, -f1,4)" ] ||
    fail "the whole road's section density differs from the measures'"

# --- Trajectories past 1 GB ---------------------------------------------------
dir=$work/big
mkdir -p "$dir"
cp "$source/examples/stop-and-go-wave.csv" "$dir/"
(cd "$dir" && "$batch" --steps 1000000 --every 1 --trajectories t.csv stop-and-go-wave.csv > out.txt 2> err.txt)
[ $? -eq 1 ] || fail "a 40 GB trajectory file was not refused"
grep -q 'about [0-9.]* GB.*--force' "$dir/err.txt" || fail "no size in the refusal: $(cat "$dir/err.txt")"
grep -q '^Ran to step' "$dir/out.txt" && fail "the refused run ran"
[ ! -e "$dir/t.csv" ] || fail "the refused trajectory file was left behind"

# --- Bad values: exit 2 with a reason, before anything runs -----------------------
expect_exit() {  # <code> <stderr pattern> <args...>
    local code=$1 pattern=$2
    shift 2
    (cd "$work" && "$batch" "$@" > bad.out 2> bad.err)
    local got=$?
    [ $got -eq "$code" ] || fail "$*: exit $got, expected $code"
    grep -q -- "$pattern" "$work/bad.err" || fail "$*: no '$pattern' in: $(head -n 2 "$work/bad.err")"
    [ ! -s "$work/bad.out" ] || fail "$*: something ran: $(head -n 1 "$work/bad.out")"
}
many=()
for k in $(seq 17); do many+=(--detector $k); done
expect_exit 2 'from 0 to 21120' --measures m.csv --detector -1
expect_exit 2 'from 0 to 21120' --measures m.csv --detector 21120.5
expect_exit 2 'from 0 to 21120' --measures m.csv --detector nan
expect_exit 2 'from 0 to 21120' --measures m.csv --detector
expect_exit 2 'at most 16' --measures m.csv "${many[@]}"
expect_exit 2 '--period needs' --measures m.csv --period 0
expect_exit 2 '--period needs' --measures m.csv --period -80
expect_exit 2 '--every needs' --trajectories t.csv --every 0
expect_exit 2 'need --measures' --period 80
expect_exit 2 '--force needs' --force
expect_exit 2 '--section needs FROM..TO' --section-measures s.csv --section 100
expect_exit 2 '--section needs FROM..TO' --section-measures s.csv --section 100..21121
expect_exit 2 '--section needs FROM..TO' --section-measures s.csv --section ..100
expect_exit 2 '--section needs FROM..TO' --section-measures s.csv --section 5..x
expect_exit 2 '--section needs --section-measures' --measures m.csv --section 0..100
sections=()
for k in $(seq 17); do sections+=(--section $k..$((k + 100))); done
expect_exit 2 'at most 16 sections' --section-measures s.csv "${sections[@]}"
expect_exit 1 'cannot write' --measures "$work/no/such/dir/m.csv"
expect_exit 1 'cannot write' --trajectories "$work/no/such/dir/t.csv"
expect_exit 1 'cannot write' --group-measures "$work"
: > "$work/plain-file"
expect_exit 1 'plain-file' --plot "$work/plain-file"

# --- A file that fails while writing: a message and exit 1 after the run --------
if [ -w /dev/full ]; then
    (cd "$work" && "$batch" --steps 160 --measures /dev/full > full.out 2> full.err)
    [ $? -eq 1 ] || fail "measures on a full disk: exit $?"
    grep -q 'writing /dev/full failed' "$work/full.err" || fail "full disk: $(cat "$work/full.err")"
fi

# --- The progress line: on a terminal only --------------------------------------
if command -v script > /dev/null; then
    # Long enough (seconds, 1004 cars) for the line's first redraw.
    script -qec "cd '$work/big' && '$batch' --steps $progress --multiplier 64 stop-and-go-wave.csv > /dev/null" \
        /dev/null > "$work/tty.txt" 2>&1
    grep -q "step [0-9]* of $progress" "$work/tty.txt" || fail "no progress line on a terminal"
fi

if [ "$failures" -ne 0 ]; then
    echo "$failures check(s) failed" >&2
    exit 1
fi
echo "measures: all checks passed"
