# What every shell test under tests/ begins with, sourced as
#
#   . "$(dirname "$0")/../preamble.sh" NAME "$@"
#
# with the test's own arguments: the ombrane-batch to test, then the source
# folder. It sets `batch` and `source` from them, `work` to a scratch folder
# of the test's NAME that is removed on exit (write-protected files too),
# and `failures` to 0, which `fail MESSAGE` counts up.
set -u
batch=$2
source=${3:-}
work=$(mktemp -d "${TMPDIR:-/tmp}/ombrane-$1.XXXXXX")
trap 'chmod -R u+w "$work"; rm -rf "$work"' EXIT
failures=0

fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}
