#!/usr/bin/env bash
# ombrane-batch SCENARIO.scenario: a scenario naming only its groups file is
# that file's run byte for byte (console and report); events log one line each
# when they fire, at any multiplier; a command-line --steps overrides the
# scenario's; noise runs are the same run twice and at other multipliers; the
# exit status of a missing file, a folder, bad contents, a scenario naming
# itself and the earlier edition.
#
#   scenario.sh <ombrane-batch> <source-dir>
. "$(dirname "$0")/../preamble.sh" scenario "$@"

cp "$source/examples/stop-and-go-wave.csv" "$source/examples/uniform-ring.csv" \
   "$source/examples/"*.scenario "$work/"
cd "$work" || exit 1

# --- Only a groups file: the same run as the groups file's --------------------
"$batch" --steps 1600 stop-and-go-wave.csv > plain.out 2>&1
cp stop-and-go-wave.report.csv plain.report
printf '# nothing but the groups\ngroups = stop-and-go-wave.csv\n' > only.scenario
"$batch" --steps 1600 only.scenario > only.out 2>&1 || fail "only.scenario exited $?"
cmp -s plain.out only.out || fail "a scenario of only groups logs differently from its groups file"
cmp -s plain.report only.report.csv || fail "a scenario of only groups reports differently"

# --- Events: one line each, at the step, whatever the multiplier -------------
for m in 1 7 16; do
    "$batch" --steps 9600 --multiplier "$m" zone-3m30-to-6m30.scenario > "zone.$m" 2>&1 ||
        fail "zone scenario at multiplier $m exited $?"
    [ "$(grep -c '^Step ' "zone.$m")" -eq 2 ] || fail "multiplier $m: $(grep -c '^Step ' "zone.$m") event lines"
    grep -q $'^Step 3360: zone on\r$' "zone.$m" || fail "multiplier $m: no 'Step 3360: zone on'"
    grep -q $'^Step 6240: zone off\r$' "zone.$m" || fail "multiplier $m: no 'Step 6240: zone off'"
done
# The last line (the title at the end) is the run's outcome.
[ "$(tail -n 1 zone.1)" = "$(tail -n 1 zone.16)" ] || fail "multipliers 1 and 16 end differently"
grep -q '^Ran to step 9600 ' zone.1 || fail "the scenario's steps = 9600 was not used"
"$batch" --steps 100 zone-3m30-to-6m30.scenario > short.out 2> short.err
grep -q '^Ran to step 100 ' short.out || fail "--steps did not override the scenario's steps"
grep -q 'zone-3m30-to-6m30.scenario:7: the event at step 3360 comes after the run' short.err ||
    fail "an event after the run's end is not warned of: $(cat short.err)"

# --- Noise: the same run every time, and going back replays it ---------------
steps=2400
[ "${OMBRANE_SHORT:-0}" = 1 ] && steps=800
"$batch" --steps $steps even-ring-with-noise.scenario > noise.a 2>&1
"$batch" --steps $steps --multiplier 16 even-ring-with-noise.scenario > noise.b 2>&1
[ "$(tail -n 1 noise.a)" = "$(tail -n 1 noise.b)" ] || fail "noise runs at multipliers 1 and 16 differ"
cmp -s noise.a <("$batch" --steps $steps even-ring-with-noise.scenario 2>&1) || fail "two noise runs differ"
"$batch" --steps $steps --rewind-check 320 even-ring-with-noise.scenario > rewind.out 2>&1 ||
    fail "rewind check through noise: $(grep -i rewind rewind.out)"
sed 's/^seed = 1$/seed = 2/' even-ring-with-noise.scenario > seed2.scenario
"$batch" --steps $steps seed2.scenario > noise.c 2>&1
[ "$(tail -n 1 noise.a)" != "$(tail -n 1 noise.c)" ] || fail "seeds 1 and 2 gave the same run"

# --- Refusals -----------------------------------------------------------------
expect() {  # <status> <stderr pattern> <arguments>...
    local status=$1 pattern=$2
    shift 2
    "$batch" "$@" > refused.out 2> refused.err
    local got=$?
    [ "$got" -eq "$status" ] || fail "$*: exit $got, expected $status"
    grep -q -- "$pattern" refused.err || fail "$*: stderr lacks '$pattern': $(cat refused.err)"
}
expect 1 'missing.scenario: cannot read it' missing.scenario
mkdir folder.scenario
expect 1 'folder.scenario: cannot read it' folder.scenario
printf 'groups = self.scenario\n' > self.scenario
expect 2 'self.scenario:1: groups names a groups file ending in .csv' self.scenario
printf 'groups = absent.csv\n' > absent.scenario
expect 1 'absent.scenario:1: cannot read the groups file' absent.scenario
printf 'groups = stop-and-go-wave.csv\nnoise group 1 = 2\n' > p.scenario
expect 2 'p.scenario:2: a noise probability is from 0 to 1' p.scenario
expect 2 'the earlier edition does not open scenarios' --legacy only.scenario
[ ! -s refused.out ] || fail "a refused scenario still printed: $(head -3 refused.out)"

if [ "$failures" -ne 0 ]; then
    echo "scenario: $failures check(s) failed" >&2
    exit 1
fi
echo "scenario: all checks passed"
