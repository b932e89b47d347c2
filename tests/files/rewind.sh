#!/usr/bin/env bash
# ombrane-batch --rewind-check on every example: going back and running on
# to the same end gives the same model and the same report file, with and
# without the multiplier and the construction zone. Also the option's bad
# values.
#
#   rewind.sh <ombrane-batch> <source-dir>
. "$(dirname "$0")/../preamble.sh" rewind "$@"

cp "$source"/examples/*.csv "$work/"
cd "$work" || exit 1
for groups in *.csv; do
    for args in "--steps 2400 --rewind-check 1333" "--steps 2400 --multiplier 8 --zone --rewind-check 1040"; do
        # shellcheck disable=SC2086
        out=$("$batch" $args "$groups" 2>&1)
        status=$?
        [ $status -eq 0 ] || fail "$groups $args: exit $status: $(echo "$out" | tail -2)"
        echo "$out" | grep -q "^Rewind check: back to step" || fail "$groups $args: no verdict"
        grep -c "^, 80," "${groups%.csv}.report.csv" | grep -qx 1 || fail "$groups $args: report time 80 not once"
    done
done

for bad in "--steps 100 --rewind-check 101" "--steps 100 --multiplier 3 --rewind-check 50" \
           "--legacy --steps 100 --rewind-check 50" "--rewind-check" "--rewind-check -1"; do
    # shellcheck disable=SC2086
    "$batch" $bad >/dev/null 2>&1
    [ $? -eq 2 ] || fail "'$bad' is not refused with the usage"
done
# Older than the history holds: the check cannot be made, and says so.
out=$("$batch" --steps 33000 --rewind-check 16 2>&1)
[ $? -eq 1 ] || fail "a step older than the history is not a failure"
echo "$out" | grep -q "Cannot go back to step 16: the oldest step kept is" || fail "no message for a step too old"

[ $failures -eq 0 ] && echo "rewind: every example runs on from an earlier step to the same end"
exit $((failures > 0))
