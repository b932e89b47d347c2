#!/usr/bin/env bash
# The documentation cannot drift from the programs:
# - every relative link, anchor and picture of README.md, examples/README.md
#   and docs/*.md exists, and the README links every page of docs/;
# - the README stays a guide (at most 250 lines, no dates);
# - the option lists shown for ombrane-batch and ombrane-lab are their --help
#   output (scripts/update-docs.sh --check);
# - every command line in a code block that starts with
#   build/native/ombrane-batch or build/native/ombrane-lab runs and exits 0,
#   in a scratch folder with a copy of examples/, --steps cut to a few hundred
#   and the example experiments cut to a few hundred steps a run (under the
#   sanitizers, OMBRANE_SHORT=1, the lab's are left to tests/lab/lab.sh);
# - helpfile.txt fits the 40-column console and names every menu item of
#   ombrane.exe, as does the README.
#
#   docs.sh <ombrane-batch> <source-dir>
. "$(dirname "$0")/../preamble.sh" docs "$@"
build=$(cd "$(dirname "$batch")" && pwd)

cd "$source" || exit 1
pages=(README.md examples/README.md docs/*.md)

# --- links, anchors, pictures -------------------------------------------------
# GitHub's anchor of a heading: lower case, punctuation other than - and _
# dropped, blanks made hyphens.
anchors_of() {
    awk '/^```/ { code = !code } !code && /^#+ / { sub(/^#+ +/, ""); print }' "$1" |
        tr '[:upper:]' '[:lower:]' | sed -e 's/[^a-z0-9 _-]//g' -e 's/ /-/g'
}
# Every (target) of a [text](target) or ![alt](target) outside code.
links_of() {
    awk '/^```/ { code = !code; next } !code && !/^    / { gsub(/`[^`]*`/, ""); print }' "$1" |
        grep -o '\]([^) ]*)' | sed -e 's/^](//' -e 's/)$//'
}
for page in "${pages[@]}"; do
    [ -f "$page" ] || continue
    dir=$(dirname "$page")
    while IFS= read -r target; do
        case $target in
        http://* | https://* | mailto:*) continue ;;
        esac
        path=${target%%#*}
        anchor=
        [ "$path" != "$target" ] && anchor=${target#*#}
        file=$page
        if [ -n "$path" ]; then
            file=$dir/$path
            [ -e "$file" ] || { fail "$page links to $target, which does not exist"; continue; }
        fi
        if [ -n "$anchor" ]; then
            case $file in
            *.md) anchors_of "$file" | grep -qxF -- "$anchor" ||
                fail "$page links to $target: $file has no heading with that anchor" ;;
            esac
        fi
    done < <(links_of "$page")
done
for page in docs/*.md; do
    grep -qF "](${page})" README.md || fail "README.md does not link $page (add it to its Documentation list)"
done

# --- a guide, not a notebook ----------------------------------------------------------
lines=$(wc -l <README.md)
[ "$lines" -le 250 ] || fail "README.md has $lines lines; at most 250 (move the rest to docs/)"
dated=$(grep -nE '\b20[0-9]{2}-[01][0-9]-[0-3][0-9]\b' README.md docs/*.md)
[ -z "$dated" ] || fail "dates in the docs (a figure is replaced, not logged): $dated"

# --- option lists --------------------------------------------------------------------
"$source/scripts/update-docs.sh" --check "$build" || fail "an option list differs from --help"

# --- example commands ----------------------------------------------------------------
steps=480
warmup=160
if [ "${OMBRANE_SHORT:-0}" = 1 ]; then
    steps=240
    warmup=80
fi
have_gnuplot=1
command -v gnuplot >/dev/null 2>&1 || have_gnuplot=0

# The command lines of a page's code blocks, continuation lines joined.
commands_of() {
    awk '
        /^```/ { code = !code; next }
        {
            line = $0
            if (!code) { if (line !~ /^    /) next; sub(/^    /, "", line) }
            if (joined != "") { line = joined line; joined = "" }
            if (line ~ /\\$/) { sub(/\\$/, "", line); joined = line; next }
            if (line ~ /^build\/native\/ombrane-(batch|lab) /) print line
        }' "$1"
}
shorten() {        # command line -> the same with --steps cut to $steps
    local out='' word previous=''
    for word in $1; do
        if [ "$previous" = --steps ] && [ "$word" -gt "$steps" ] 2>/dev/null; then
            word=$steps
        fi
        out="$out${out:+ }$word"
        previous=$word
    done
    echo "$out"
}
ran=0
declare -A done_before
for page in "${pages[@]}"; do
    scratch=$work/$(echo "$page" | tr / _)
    mkdir -p "$scratch"
    cp -r "$source/examples" "$scratch/examples"
    for experiment in "$scratch"/examples/*.txt; do
        [ -f "$experiment" ] || continue
        sed -i -E -e "s/^(steps *= *)[0-9]+/\\1$steps/" -e "s/^(warmup *= *)[0-9]+/\\1$warmup/" "$experiment"
    done
    while IFS= read -r command; do
        case $command in
        *"ombrane-lab "*)
            # Eighteen sanitized runs take a minute on a loaded machine;
            # tests/lab/lab.sh runs the lab under the sanitizers.
            if [ "${OMBRANE_SHORT:-0}" = 1 ]; then
                echo "skipped (short): $command"
                continue
            fi ;;&
        *--plot* | *"ombrane-lab plot"*)
            if [ "$have_gnuplot" = 0 ]; then
                echo "skipped (no gnuplot): $command"
                continue
            fi ;;
        esac
        if [ -n "${done_before[$command]:-}" ]; then
            echo "ran before: $command"
            continue
        fi
        done_before[$command]=1
        short=$(shorten "$command")
        short=${short/#build\/native\//$build/}
        ran=$((ran + 1))
        SECONDS=0; if ! (cd "$scratch" && bash -c "$short") >"$work/out" 2>&1; then
            fail "$page: '$command' failed (run as: $short)"
            tail -5 "$work/out" >&2
        else
            echo "ok (${SECONDS} s): $command"
        fi
    done < <(commands_of "$page")
done
[ "$ran" -ge 4 ] || fail "only $ran example commands found in the docs"

# --- the help file ------------------------------------------------------------------
# The console prints a line as written when it holds at most 38 characters
# (39 with its line feed); a longer one is broken at a blank.
long=$(grep -v '^#' helpfile.txt | awk 'length($0) > 38 { print NR ": " $0 }')
[ -z "$long" ] || fail "helpfile.txt lines wider than the console: $long"
# Each item of the main window's menus, without its & marks, accelerator and dots.
menu_items=$(awk '/^Ombrane MENU/ { on = 1 } on && /^END/ { exit } on' resources/ombrane.rc |
    sed -n 's/.*MENUITEM "\([^"]*\)".*/\1/p' | sed -e 's/&//g' -e 's/\\t.*//' -e 's/\.\.\.$//')
[ -n "$menu_items" ] || fail "no menu items found in resources/ombrane.rc"
while IFS= read -r item; do
    [ -n "$item" ] || continue
    grep -qF -- "$item" helpfile.txt || fail "helpfile.txt does not mention the menu item '$item'"
    grep -qF -- "$item" README.md || fail "README.md does not mention the menu item '$item'"
done <<<"$menu_items"
keys=$(sed -n 's/.*MENUITEM "[^"]*\\t\(Ctrl+[^"]*\)".*/\1/p' resources/ombrane.rc)
while IFS= read -r key; do
    [ -n "$key" ] || continue
    grep -qF -- "$key" helpfile.txt || fail "helpfile.txt does not mention the key $key"
    grep -qF -- "$key" README.md || fail "README.md does not mention the key $key"
done <<<"$keys"

echo "$ran example commands ran"
[ "$failures" -eq 0 ] || { echo "$failures failures" >&2; exit 1; }
echo "docs: all checks passed"
