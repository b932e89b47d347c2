#!/usr/bin/env bash
# ombrane-batch --plot: the three pictures exist at their sizes and are not
# blank (more than one colour, and some colour that is not grey, inside the
# plotting area); their data and scripts lie beside them and the scripts
# redraw them; a run too short for a report line still gets its pictures.
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
p=$work/plots
check_png "$p/space-time.png" 1200x1400 400x150+300+100    # top panel: lane 3
check_png "$p/space-time.png" 1200x1400 400x150+300+1200   # bottom panel: lane 0
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

if [ "$failures" -ne 0 ]; then
    echo "$failures check(s) failed" >&2
    exit 1
fi
echo "plots: all checks passed"
