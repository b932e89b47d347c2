#!/usr/bin/env bash
# Writes the option lists that README.md and docs/*.md show for the native
# tools from the tools themselves, so the pages cannot fall behind them. A
# list stands between two marker lines:
#
#   <!-- help: ombrane-batch (made by scripts/update-docs.sh; do not edit) -->
#   ...whatever was there is replaced by a text block of `ombrane-batch --help`...
#   <!-- end help -->
#
#   scripts/update-docs.sh [--check] [build-dir]     (default: build/native)
#
# --check changes nothing: it names each page whose lists differ from the
# tools' and exits 1. The usage text is taken from its "usage:" line on,
# whether the tool prints it to standard output or to standard error.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
check=0
if [ "${1:-}" = --check ]; then
    check=1
    shift
fi
build=${1:-$root/build/native}

work=$(mktemp -d "${TMPDIR:-/tmp}/ombrane-docs.XXXXXX")
trap 'rm -rf "$work"' EXIT

for tool in ombrane-batch ombrane-lab; do
    if [ ! -x "$build/$tool" ]; then
        echo "update-docs: $build/$tool not built (cmake --build --preset native)" >&2
        exit 2
    fi
    # --help exits non-zero where it is still a bad option; the text is what counts.
    "$build/$tool" --help >"$work/$tool.raw" 2>&1 || true
    sed -n '/^usage:/,$p' "$work/$tool.raw" >"$work/$tool.help"
    if [ ! -s "$work/$tool.help" ]; then
        echo "update-docs: $tool --help printed no usage" >&2
        exit 2
    fi
done

status=0
for page in "$root"/README.md "$root"/docs/*.md; do
    [ -f "$page" ] || continue
    awk -v dir="$work" '
        /^<!-- help: [a-z-]+/ {
            print
            tool = $3
            file = dir "/" tool ".help"
            if ((getline probe < file) <= 0) {
                printf "%s: no such tool %s\n", FILENAME, tool > "/dev/stderr"
                exit 3
            }
            close(file)
            print "```text"
            while ((getline line < file) > 0)
                print line
            close(file)
            print "```"
            skipping = 1
            next
        }
        skipping && /^<!-- end help -->/ { skipping = 0 }
        !skipping { print }
        END { if (skipping) { printf "%s: a help list has no end marker\n", FILENAME > "/dev/stderr"; exit 3 } }
    ' "$page" >"$work/page" || { status=1; continue; }
    if ! cmp -s "$page" "$work/page"; then
        name=${page#"$root"/}
        if [ "$check" = 1 ]; then
            echo "$name: an option list differs from the tool's --help (run scripts/update-docs.sh):" >&2
            diff "$page" "$work/page" >&2 || true
            status=1
        else
            cp "$work/page" "$page"
            echo "updated $name"
        fi
    fi
done
exit "$status"
