#!/usr/bin/env bash
# A run saved at step 2000 and continued from the restored snapshot for 1000
# steps must end car for car where a straight 3000-step run ends.
# Usage: roundtrip.sh <ombrane-batch> <source-dir>
set -euo pipefail
batch=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# The earlier edition writes its report beside the groups file: use a copy.
cp "$2/tests/legacy/roundtrip.csv" "$work/roundtrip.csv"
groups=$work/roundtrip.csv
cd "$work"

"$batch" --legacy --steps 2000 --save a.omb --dump a.csv "$groups" > a.log
"$batch" --legacy --restore a.omb --steps 1000 --dump b.csv "$groups" > b.log
"$batch" --legacy --steps 3000 --dump c.csv "$groups" > c.log

fail() { echo "roundtrip: $*" >&2; exit 1; }

[ "$(stat -c %s a.omb)" = 105088 ] || fail "a.omb is $(stat -c %s a.omb) bytes"
grep -q "Created filename a.omb at step 2000 of roundtrip.csv" a.log || fail "no save line in a.log"
cars=$(($(wc -l < c.csv) - 1))
[ "$cars" -ge 300 ] || fail "only $cars cars placed"
# Lane changes must have happened, or the check would miss their state.
changed=$(awk -F, 'NR > 1 && $5 != 0' c.csv | wc -l)
[ "$changed" -gt 0 ] || fail "no car ever changed lanes"
cmp -s a.csv c.csv && fail "the runs did not move between step 2000 and 3000"
cmp b.csv c.csv || { diff b.csv c.csv | head -20 >&2; fail "restored run differs from the straight run"; }
grep -q "Ran to step 3000" b.log || fail "restored run did not end at step 3000: $(tail -1 b.log)"

# A snapshot of another version is refused, and the run does not start.
printf 'Ombrane 0.8' | dd of=a.omb conv=notrunc status=none
if "$batch" --legacy --restore a.omb --steps 10 "$groups" > d.log; then
    fail "a snapshot of another version was restored"
fi
grep -q "Can't restore: The error was a.omb is not a Ombrane 0.7 save-file" d.log || fail "$(cat d.log)"
echo "roundtrip: $cars cars, $changed with a lane change behind them, identical after restore"
