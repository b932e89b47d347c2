#!/usr/bin/env bash
# ombrane-batch's outputs against careless command lines: two outputs, or an
# output and an input, naming one file are refused before anything is
# truncated; --rewind-check leaves the outputs as the run without it writes
# them; a refused trajectory file leaves a file that was there as it was; a
# NUL byte in a groups file is a read in part.
#
#   outputs.sh <ombrane-batch> <source-dir>
. "$(dirname "$0")/../preamble.sh" outputs "$@"

cd "$work" || exit 1
cp "$source/examples/stop-and-go-wave.csv" g.csv
cp g.csv original.csv
ln -s g.csv link.csv

# --- The same file twice: exit 2, every file as it was -------------------------------
refused() {  # <message part> <args...>
    local part=$1
    shift
    echo "kept" > m.csv
    "$batch" --steps 16 "$@" > out.txt 2> err.txt
    local code=$?
    [ $code = 2 ] || fail "$* exited $code, expected 2"
    grep -q -- "$part" err.txt || fail "$* said: $(cat err.txt)"
    cmp -s g.csv original.csv || fail "$* changed the groups file"
    [ "$(cat m.csv)" = kept ] || fail "$* truncated m.csv"
    grep -q '^Ran to step' out.txt && fail "$* ran"
}
refused "--measures (m.csv) and --group-measures (m.csv) are the same file" \
    --measures m.csv --group-measures m.csv g.csv
refused "--measures (./m.csv) and --trajectories (m.csv) are the same file" \
    --measures ./m.csv --trajectories m.csv g.csv
refused "--measures (g.csv) and the groups file (g.csv) are the same file" --measures g.csv g.csv
refused "--group-measures (link.csv) and the groups file (g.csv)" --group-measures link.csv g.csv
refused "--measures (g.report.csv) and the report file (g.report.csv)" --measures g.report.csv g.csv
refused "--dump (m.csv) and --save (m.csv)" --legacy --dump m.csv --save m.csv g.csv
refused "--plot needs a file name, not an empty one" --plot '' g.csv
refused "--measures needs a file name" --measures '' g.csv
"$batch" --steps 16 --measures a.csv --group-measures b.csv g.csv > /dev/null 2>&1 ||
    fail "distinct outputs were refused"

# --- --rewind-check: the outputs of the run without it ---------------------------
for edition in current; do
    for kind in plain checked; do
        mkdir -p $kind
        cp g.csv $kind/
        extra=()
        [ $kind = checked ] && extra=(--rewind-check 332)
        plot=()
        command -v gnuplot > /dev/null && plot=(--plot plots)
        (cd $kind && "$batch" --steps 800 --multiplier 4 --measures m.csv --group-measures gm.csv \
            --period 50 --trajectories t.csv --every 7 "${plot[@]}" "${extra[@]}" g.csv > out.txt 2>&1) ||
            fail "$kind run: $(tail -3 $kind/out.txt)"
    done
    for file in m.csv gm.csv t.csv g.report.csv; do
        cmp -s plain/$file checked/$file || fail "--rewind-check changed $file ($(wc -l < checked/$file) lines, not $(wc -l < plain/$file))"
    done
    if command -v gnuplot > /dev/null; then
        for file in plain/plots/*.dat; do
            cmp -s "$file" "checked/plots/${file#plain/plots/}" || fail "--rewind-check changed $file"
        done
    fi
    grep -q "Rewind check: back to step 332" checked/out.txt || fail "no rewind check ran"
done

# --- A refused trajectory file leaves what was there -------------------------------
echo "yesterday's trajectories" > t.csv
"$batch" --steps 1000000 --every 1 --trajectories t.csv g.csv > out.txt 2> err.txt
[ $? = 1 ] || fail "a 40 GB trajectory file was not refused"
[ "$(cat t.csv)" = "yesterday's trajectories" ] || fail "the refusal emptied or deleted t.csv"

# --- A NUL byte cuts a row short: read only in part, exit 1 as documented ----------
{ head -3 original.csv; printf '1,2\0,3\n'; tail -n +4 original.csv; } > nul.csv
"$batch" --steps 16 nul.csv > out.txt 2> err.txt
[ $? = 1 ] && grep -q "nul.csv was read only in part: a NUL byte ended line 4" err.txt ||
    fail "a NUL byte in a row: $(cat err.txt)"

[ $failures = 0 ] && echo "outputs: all checks passed"
exit $((failures > 0))
