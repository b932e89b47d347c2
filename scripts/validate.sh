#!/usr/bin/env bash
# Measures the figures that docs/validation.md sets beside published traffic
# figures, from runs of the experiments in examples/validation/.
#
#   scripts/validate.sh              full runs; rewrites the tables of docs/validation.md
#   scripts/validate.sh --check      shortened runs; exits 1 when a figure leaves its band
#
# OMBRANE_LAB names the ombrane-lab to use (default build/native/ombrane-lab,
# which runs the ombrane-batch beside it); OMBRANE_JOBS the runs at once.
set -euo pipefail
source_dir=$(cd "$(dirname "$0")/.." && pwd)
lab=${OMBRANE_LAB:-$source_dir/build/native/ombrane-lab}
jobs=${OMBRANE_JOBS:-$(nproc)}
mode=full
case "${1:-}" in
    "") ;;
    --check) mode=check ;;
    *) echo "usage: scripts/validate.sh [--check]" >&2; exit 2 ;;
esac
[ -x "$lab" ] || { echo "validate.sh: $lab not found; build the native preset first" >&2; exit 1; }

work=$(mktemp -d "${TMPDIR:-/tmp}/ombrane-validate.XXXXXX")
trap 'rm -rf "$work"' EXIT
# A scratch copy of the examples' layout: shortened experiments and
# variations of the scenarios are written there, and their relative groups
# paths still resolve.
mkdir -p "$work/examples/validation"
cp "$source_dir"/examples/*.csv "$work/examples/"
cp "$source_dir"/examples/validation/*.csv "$source_dir"/examples/validation/*.scenario "$work/examples/validation/"
failures=0

# The experiment, shortened for --check: fewer steps and only the values
# named (the sweep's points nearest each figure).
experiment() {   # name, [steps warmup], [KEY=LIST replacing "vary KEY"]...
    local name=$1 src=$source_dir/examples/validation/$1.txt
    shift
    if [ "$mode" = full ]; then
        echo "$src"
        return
    fi
    local copy=$work/examples/validation/$name.txt
    local steps=$1 warmup=$2
    shift 2
    sed -e "s/^steps *=.*/steps = $steps/" -e "s/^warmup *=.*/warmup = $warmup/" "$src" > "$copy"
    local pair key list
    for pair in "$@"; do
        key=${pair%%=*} list=${pair#*=}
        sed -i "s/^vary $key *=.*/vary $key = $list/" "$copy"
    done
    echo "$copy"
}

run() {          # experiment file, output folder
    if ! "$lab" run "$1" --jobs "$jobs" --out "$2" --force > "$2.log" 2>&1; then
        echo "validate.sh: ombrane-lab run $1 failed:" >&2
        tail -n 20 "$2.log" >&2
        exit 1
    fi
}

# One line per run: its varied values, then density, flow and space-mean speed
# per lane, averaged over the lanes that held cars (an empty lane would pull
# the mean down); columns are found by their names.
per_lane() {     # results.csv
    awk -F, '
        NR == 1 {
            for (i = 1; i <= NF; i++) col[$i] = i
            nvary = col["lane"] - 2
            next
        }
        $col["lane"] == "all" { next }
        $col["cars"] + 0 > 0.5 {
            run = $1
            if (!(run in seen)) { seen[run] = 1; order[++runs] = run
                key[run] = ""; for (i = 2; i < 2 + nvary; i++) key[run] = key[run] $i " " }
            lanes[run]++
            density[run] += $col["density_vpmpl"]
            flow[run] += $col["flow_vph"]
            speed[run] += $col["space_mean_speed_mph"]
        }
        END {
            for (r = 1; r <= runs; r++) { run = order[r]; n = lanes[run]
                printf "%s%.2f %.1f %.2f\n", key[run], density[run] / n, flow[run] / n, speed[run] / n }
        }' "$1"
}

# Checks a figure against its band: both ends inclusive.
band() {         # name, value, low, high
    if awk -v v="$2" -v lo="$3" -v hi="$4" 'BEGIN { exit !(v >= lo && v <= hi) }'; then
        echo "  $1: $2 (band $3 to $4)"
    else
        echo "FAIL: $1: $2 is outside $3 to $4" >&2
        failures=$((failures + 1))
    fi
}

echo "== Capacity of the calibrated motorway"
if [ "$mode" = full ]; then
    exp=$(experiment capacity)
else
    exp=$(experiment capacity 19200 6400 "1.N=540, 580, 620, 660, 700, 740")
fi
run "$exp" "$work/capacity"
per_lane "$work/capacity/results.csv" > "$work/capacity.txt"
# Columns: trucks, cars, density, flow, speed. Capacity is the highest flow.
read -r cap_cars dens_cars < <(awk '$1 == 0 && $4 > best { best = $4; d = $3 } END { printf "%.0f %.1f\n", best, d }' "$work/capacity.txt")
read -r cap_trucks < <(awk '$1 > 0 && $4 > best { best = $4 } END { printf "%.0f\n", best }' "$work/capacity.txt")
truck_ratio=$(awk -v a="$cap_trucks" -v b="$cap_cars" 'BEGIN { printf "%.3f", a / b }')
band "capacity, cars only (veh/h/lane)" "$cap_cars" 2250 2400
band "density at capacity (veh/mi/lane)" "$dens_cars" 38 47
band "capacity with 11 % trucks / without" "$truck_ratio" 0.85 0.97

echo "== The congested branch of one lane"
if [ "$mode" = full ]; then
    exp=$(experiment congested)
else
    exp=$(experiment congested 9600 3200 "0.1=230, 430")
fi
run "$exp" "$work/congested"
per_lane "$work/congested/results.csv" > "$work/congested.txt"
# Columns: cars, density, flow, speed. A least-squares line through the
# points above capacity (slower than the desired 65 mph): its slope is the backward wave speed, its end at
# zero flow the jam density.
read -r wave_mph jam_density < <(awk '$4 < 63 {
        n++; sx += $2; sy += $3; sxx += $2 * $2; sxy += $2 * $3 }
    END { b = (n * sxy - sx * sy) / (n * sxx - sx * sx); a = (sy - b * sx) / n
        printf "%.2f %.0f\n", -b, -a / b }' "$work/congested.txt")
wave_kmh=$(awk -v w="$wave_mph" 'BEGIN { printf "%.1f", w * 1.609344 }')
band "backward wave speed in dense traffic (km/h)" "$wave_kmh" 14 16
band "jam density (veh/mi/lane)" "$jam_density" 285 300

# The scenarios run with ombrane-batch itself.
batch=$(dirname "$lab")/ombrane-batch
scenario() {     # name, output folder, ombrane-batch options...
    local name=$1 out=$2
    shift 2
    mkdir -p "$out"
    if ! (cd "$out" && "$batch" "$@" "$work/examples/validation/$name.scenario" > console.log 2>&1); then
        echo "validate.sh: ombrane-batch $name.scenario failed:" >&2
        tail -n 20 "$out/console.log" >&2
        exit 1
    fi
}
# The mean over the periods from FROM to TO seconds of a column of the
# measures file's rows for the whole road, found by its name.
measure() {      # measures.csv, column, from, to
    awk -F, -v name="$2" -v from="$3" -v to="$4" '
        NR == 1 { for (i = 1; i <= NF; i++) col[$i] = i; next }
        $col["lane"] == "all" && $1 + 0 >= from && $1 + 0 <= to { sum += $col[name]; n++ }
        END { printf "%.1f\n", n ? sum / n : -1 }' "$1"
}

echo "== The front of a standing jam"
scenario jam-front "$work/jam-front" --steps 4000 --trajectories cars.csv --every 4
# Each car that stood still leaves the queue when it is back above 10 mph;
# the front is where the cars leave it. A least-squares line through the
# first 40 departures: its slope is the front's speed.
front_kmh=$(awk -F, 'NR > 1 {
        car = $2; t = $1; x = $5; v = $6
        if (v < 1 && t > 60) stopped[car] = 1
        if (stopped[car] && v >= 10 && !(car in left)) { left[car] = t; print t, x }
    }' "$work/jam-front/cars.csv" | sort -n | head -n 40 | awk '
        { n++; sx += $1; sy += $2; sxx += $1 * $1; sxy += $1 * $2 }
        END { b = (n * sxy - sx * sy) / (n * sxx - sx * sx)
            printf "%.1f\n", -b * 3600 / 5280 * 1.609344 }')
band "speed of a jam's front (km/h)" "$front_kmh" 14.5 20

echo "== A bottleneck switched on and off"
scenario bottleneck "$work/bottleneck" --measures lanes.csv --period 960
# Before the zone: the last 5 of its first 10 minutes. The discharge: from
# a minute after the zone is off (15:00), three minutes, while the queue
# empties past the detectors.
before_flow=$(measure "$work/bottleneck/lanes.csv" flow_vph 360 600)
discharge=$(measure "$work/bottleneck/lanes.csv" flow_vph 1020 1140)
queue_peak=$(awk -F, 'NR == 1 { for (i = 1; i <= NF; i++) col[$i] = i; next }
    $col["lane"] == "all" && $col["stopped_cars"] > m { m = $col["stopped_cars"] }
    END { printf "%.0f\n", m }' "$work/bottleneck/lanes.csv")
drop=$(awk -v d="$discharge" -v c="$cap_cars" 'BEGIN { printf "%.1f", 100 * (1 - d / c) }')
band "queue discharge (veh/h/lane)" "$discharge" 2050 2400
band "capacity drop (%)" "$drop" 0 12

echo "== A ring without a bottleneck, with and without noise"
scenario ring-noise "$work/ring-noise" --measures lanes.csv --period 480
sed -e 's/^noise group 0 = .*/noise group 0 = 0/' "$work/examples/validation/ring-noise.scenario" \
    > "$work/examples/validation/ring-calm.scenario"
scenario ring-calm "$work/ring-calm" --measures lanes.csv --period 480
first_stop=$(awk -F, 'NR == 1 { for (i = 1; i <= NF; i++) col[$i] = i; next }
    $col["lane"] == "all" && $col["stopped_cars"] > 0 { print $1; exit }' "$work/ring-noise/lanes.csv")
first_stop=${first_stop:-never}
noisy_stopped=$(measure "$work/ring-noise/lanes.csv" stopped_cars 600 1200)
noisy_jams=$(measure "$work/ring-noise/lanes.csv" jams 600 1200)
calm_stopped=$(measure "$work/ring-calm/lanes.csv" stopped_cars 0 1200)
# Measures of the whole road count stopped cars over its four lanes.
band "stopped cars on the noisy ring" "$noisy_stopped" 0.3 5
band "stopped cars on the calm ring" "$calm_stopped" 0 0

if [ "$mode" = full ]; then
    echo "== What column C gives, on one lane"
    run "$(experiment one-lane)" "$work/one-lane"
    per_lane "$work/one-lane/results.csv" > "$work/one-lane.txt"
fi

if [ "$mode" = check ]; then
    [ "$failures" -eq 0 ] || { echo "$failures validation figures out of their bands" >&2; exit 1; }
    echo "All validation figures inside their bands"
    exit 0
fi

# --- Full mode: the tables of docs/validation.md -----------------------------
doc=$source_dir/docs/validation.md
# Where a figure lies against its published band, in words.
verdict() {      # value, low, high, why when outside
    awk -v v="$1" -v lo="$2" -v hi="$3" -v why="$4" 'BEGIN {
        if (v < lo) print "below the band" (why != "" ? ": " why : "")
        else if (v > hi) print "above the band" (why != "" ? ": " why : "")
        else print "inside the band" }'
}
{
    echo "| Quantity | Published | Ombrane | Reproduce | Verdict |"
    echo "|---|---|---|---|---|"
    echo "| Capacity per lane, cars only | 2,250 to 2,400 cars/h/lane at 60 to 70 mph [HCM] | $cap_cars cars/h/lane | \`capacity.txt\` | $(verdict "$cap_cars" 2250 2400 "") |"
    echo "| Density at capacity | 45 cars/mi/lane [HCM] | $dens_cars cars/mi/lane | \`capacity.txt\` | below: the cars keep their full speed up to capacity |"
    echo "| Trucks lower capacity | 11 % trucks worth 1.5 to 2 cars: factor 0.90 to 0.95 [HCM] | factor $truck_ratio | \`capacity.txt\` | $(verdict "$truck_ratio" 0.90 0.95 "") |"
    echo "| Backward wave speed in dense traffic | 15 to 20 km/h [KR96, SH07, S08] | $wave_kmh km/h ($wave_mph mph) | \`congested.txt\` | $(verdict "$wave_kmh" 15 20 "kept there by capacity, see below") |"
    echo "| Jam density | 185 to 250 cars/mi/lane [RPM] | $jam_density cars/mi/lane | \`congested.txt\` | $(verdict "$jam_density" 185 250 "stopped cars stand bumper to bumper") |"
    echo "| Speed of a jam's front | 15 to 20 km/h [KR96, S08] | $front_kmh km/h | \`jam-front.scenario\` | $(verdict "$front_kmh" 15 20 "") |"
    echo "| Capacity drop: queue discharge after a bottleneck | 5 to 10 % below capacity [HA91, CB99] | ${discharge%.*} cars/h/lane, $drop % below capacity (a queue of up to $queue_peak stopped cars) | \`bottleneck.scenario\` | $(verdict "$drop" 5 10 "the cars leave a queue nearly as closely as they follow") |"
    echo "| A jam that forms by itself | within minutes, on a ring without bottleneck [S08] | with noise: first stopped car at $first_stop s, then $noisy_stopped stopped cars in $noisy_jams jams on average; without noise: $calm_stopped | \`ring-noise.scenario\` | only small, short jams, and only with noise: see below |"
} > "$work/table.md"
{
    echo "| C (car lengths) | Time gap at 55 / 65 / 75 mph | Capacity by the formula, 55 / 65 / 75 mph | Capacity measured, 55 / 65 / 75 mph |"
    echo "|---|---|---|---|"
    # Columns: A, C, cars, density, flow, speed.
    awk '{ if ($5 > best[$1 " " $2]) best[$1 " " $2] = $5 }
        END {
            n = split("6 7 8 9 10", c, " ")
            for (i = 1; i <= n; i++) { C = c[i]
                printf "| %s | %.2f / %.2f / %.2f s ", C, (C - 1) * 18 / (55 * 5280 / 3600), (C - 1) * 18 / (65 * 5280 / 3600), (C - 1) * 18 / (75 * 5280 / 3600)
                printf "| %.0f / %.0f / %.0f ", 55 * 5280 / (18 * C), 65 * 5280 / (18 * C), 75 * 5280 / (18 * C)
                printf "| %.0f / %.0f / %.0f |\n", best["55 " C], best["65 " C], best["75 " C] }
        }' "$work/one-lane.txt"
} > "$work/ctable.md"

# Replaces what lies between a pair of markers with a file.
splice() {       # marker name, file
    awk -v name="$1" -v file="$2" '
        $0 == "<!-- " name " -->" { print; while ((getline line < file) > 0) print line; skip = 1; next }
        $0 == "<!-- /" name " -->" { skip = 0 }
        !skip' "$doc" > "$doc.new" && mv "$doc.new" "$doc"
}
splice table "$work/table.md"
splice c-table "$work/ctable.md"

# The pictures: the calibrated motorway's fundamental diagram with the
# manual's capacity band and density at capacity drawn in, and the
# space-time diagrams of the bottleneck and of the noisy ring.
awk '$1 == 0 { print $3, $4 > "'"$work"'/cars.dat" } $1 > 0 { print $3, $4 > "'"$work"'/trucks.dat" }' "$work/capacity.txt"
gnuplot <<GP
set terminal pngcairo size 900,560 font "sans,11"
set output "$source_dir/docs/validation-fundamental.png"
set title "Calibrated motorway: flow against density, per lane"
set xlabel "density (vehicles per mile per lane)"
set ylabel "flow (vehicles per hour per lane)"
set key bottom right
set grid
set yrange [1500:2600]
set object 1 rectangle from graph 0, first 2250 to graph 1, first 2400 fillcolor rgb "#d8ecd8" fillstyle solid 1.0 noborder behind
set arrow 1 from 45, graph 0 to 45, graph 1 nohead dashtype 2 linecolor rgb "#3a7a3a"
set label 1 "HCM capacity, 2,250 to 2,400" at graph 0.02, first 2375 textcolor rgb "#3a7a3a"
set label 2 "HCM density at capacity" at 45.5, graph 0.08 textcolor rgb "#3a7a3a"
plot "$work/cars.dat" using 1:2 with linespoints linewidth 2 pointtype 7 title "cars only", \
     "$work/trucks.dat" using 1:2 with linespoints linewidth 2 pointtype 5 title "with 80 trucks (about 11 %)"
GP
for name in bottleneck ring-noise; do
    scenario "$name" "$work/$name-plot" --plot plots
    cp "$work/$name-plot/plots/space-time.png" "$source_dir/docs/validation-$name.png"
done
echo "Wrote $doc"
