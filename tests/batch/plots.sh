#!/usr/bin/env bash
# ombrane-batch --plot: the three pictures exist at their sizes and are not
# blank (more than one colour, and some colour that is not grey, inside the
# plotting area); their data and scripts lie beside them and the scripts
# redraw them; a run too short for a report line still gets its pictures;
# only lanes that held cars get panels, a sparse lane is drawn as lines and a
# crowded one as an image; titles and legends are in words (group names from
# column W, lanes 1 to 4, time in min:s); the zone is shaded.
# Skipped (77) when gnuplot or ImageMagick is missing.
#
#   plots.sh <ombrane-batch> <source-dir>
. "$(dirname "$0")/../preamble.sh" plots "$@"

for tool in gnuplot convert identify; do
    command -v $tool > /dev/null || { echo "SKIP: no $tool"; exit 77; }
done

check_png() {  # <png> <width>x<height> <crop WxH+X+Y inside a plotting area>
    local png=$1 size=$2 area=$3
    [ -s "$png" ] || { fail "$png was not drawn"; return; }
    local got
    got=$(identify -format '%wx%h' "$png")
    [ "$got" = "$size" ] || fail "$png is $got, expected $size"
    local colours saturation
    colours=$(convert "$png" -crop "$area" +repage -format '%k' info:)
    [ "$colours" -gt 1 ] || fail "$png: the plotting area $area is one colour"
    saturation=$(convert "$png" -crop "$area" +repage -colorspace HSL -channel G -separate \
        -format '%[fx:maxima > 0.3 ? 1 : 0]' info:)
    [ "$saturation" = 1 ] || fail "$png: nothing coloured in $area"
}

cp "$source/examples/stop-and-go-wave.csv" "$work/"
(cd "$work" && "$batch" --steps 960 --plot plots stop-and-go-wave.csv > out.txt 2> err.txt) ||
    fail "--plot run: exit $?: $(cat "$work/err.txt")"
grep -q '^ombrane-batch: drawing the pictures in plots with gnuplot$' "$work/err.txt" ||
    fail "no line on stderr while gnuplot draws: $(cat "$work/err.txt")"
p=$work/plots
check_png "$p/space-time.png" 1200x1400 400x150+300+100    # top panel: lane 4
check_png "$p/space-time.png" 1200x1400 400x150+300+1200   # bottom panel: lane 1
grep -q "set title 'lane 4 (left): mean speed'" "$p/space-time.gp" ||
    fail "a crowded lane is not an image: $(grep title "$p/space-time.gp")"
grep -q "xtics time format '%tM:%02.0tS'" "$p/space-time.gp" || fail "time axis not in min:s"
grep -q "title 'lane 1 (right)'" "$p/lanes.gp" || fail "lanes.gp: no lane 1 (right)"
check_png "$p/speeds.png" 1200x700 800x500+100+60
check_png "$p/lanes.png" 1200x900 800x750+100+60
for f in space-time speeds lanes; do
    [ -s "$p/$f.dat" ] || fail "$f.dat missing"
    [ -s "$p/$f.gp" ] || fail "$f.gp missing"
done
# A user restyles a picture by editing its script and running it in the folder.
rm -f "$p/lanes.png"
(cd "$p" && gnuplot lanes.gp > /dev/null 2>&1) || fail "gnuplot lanes.gp failed in the folder"
[ -s "$p/lanes.png" ] || fail "lanes.gp did not redraw lanes.png"

# Too short for a report line or a measuring period: pictures all the same.
(cd "$work" && "$batch" --steps 40 --plot short > /dev/null 2> short.err) ||
    fail "short --plot run: exit $?: $(cat "$work/short.err")"
for f in space-time speeds lanes; do
    [ -s "$work/short/$f.png" ] || fail "short run: no $f.png"
done

# One lane of few named cars and the zone: one panel of lines, the zone's
# stretch shaded, the group's name in the legend, no panel for empty lanes.
printf '%s\n' '#Group,Adesired,Fleft,Iright,Ncars,Rreport,1,2,3,4,Wname' '0,60,10,3,0,x,12,0,0,0,Commuters' \
    '1,30,10,3,0,x,3,0,0,0,  Tractors  ' > "$work/one-lane.csv"
(cd "$work" && "$batch" --steps 960 --zone --plot one one-lane.csv > /dev/null 2>&1) ||
    fail "one-lane --plot run: exit $?"
check_png "$work/one/space-time.png" 1200x440 900x100+80+280
grep -q "set multiplot layout 1,1" "$work/one/space-time.gp" || fail "empty lanes got panels"
grep -q "set title 'lane 1 (right): each car a line'" "$work/one/space-time.gp" ||
    fail "a sparse lane is not drawn as lines"
# Each car a line, broken only at the road's end: 15 cars.
breaks=$(awk 'NF == 0 { blank++ } END { print blank + 0 }' "$work/one/space-time-lines.dat")
[ "$breaks" -ge 15 ] && [ "$breaks" -lt 60 ] || fail "space-time-lines.dat holds $breaks breaks"
grep -q "set object 1 rect from 0,1.8125 to 60,1.9375" "$work/one/space-time.gp" ||
    fail "the zone is not shaded: $(grep object "$work/one/space-time.gp")"
grep -q "title 'Commuters (group 0)'" "$work/one/speeds.gp" &&
    grep -q "title 'Tractors (group 1)'" "$work/one/speeds.gp" ||
    fail "group names not in the legend: $(grep title "$work/one/speeds.gp")"
grep -q "lane 2" "$work/one/lanes.gp" && fail "lanes.gp draws an empty lane"

if [ "$failures" -ne 0 ]; then
    echo "$failures check(s) failed" >&2
    exit 1
fi
echo "plots: all checks passed"
