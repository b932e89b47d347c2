#!/usr/bin/env bash
# Runs every example groups file through ombrane-batch in both editions and
# checks the report file it leaves beside it: the header line, CR LF line
# ends, and one line per report period (every 80 steps: 60 lines in 4800
# steps). Also checks that "-" in column R keeps the report file from being
# written at all.
#
#   examples.sh <ombrane-batch> <source-dir>
. "$(dirname "$0")/../preamble.sh" examples "$@"

check_report() {  # <groups-name> <report-path> <expected data lines>
    local name=$1 report=$2 expected=$3
    if [ ! -f "$report" ]; then
        fail "$report was not written"
        return
    fi
    local header
    header=$(head -n 1 "$report")
    case "$header" in
        "$name, Time, AVG ALL"*$'\r') ;;
        *) fail "$report: header line is '$header'" ;;
    esac
    local lines crlf
    lines=$(wc -l < "$report")
    crlf=$(grep -c $'\r$' "$report")
    [ "$lines" -eq $((expected + 1)) ] || fail "$report: $lines lines, expected $((expected + 1))"
    [ "$crlf" -eq "$lines" ] || fail "$report: only $crlf of $lines lines end in CR LF"
    # Bare line feeds would show as lines without CR; stray CRs as extra fields.
    if tr -d '\r\n' < "$report" | grep -q $'\r'; then
        fail "$report: stray carriage return"
    fi
    local data
    data=$(sed -n '2p' "$report")
    case "$data" in
        ", 0, "*) ;;
        *) fail "$report: first data line is '$data'" ;;
    esac
}

found=0
for example in "$source"/examples/*.csv; do
    found=1
    name=$(basename "$example")
    for edition in current legacy; do
        dir=$work/$edition
        mkdir -p "$dir"
        cp "$example" "$dir/"
        flag=()
        [ "$edition" = legacy ] && flag=(--legacy)
        if ! (cd "$dir" && "$batch" "${flag[@]}" --steps 4800 "$name" > "$dir/$name.log" 2>&1); then
            fail "$edition $name: ombrane-batch failed"; cat "$dir/$name.log" >&2
            continue
        fi
        grep -q "^Read [0-9]* groups from $name"$'\r$' "$dir/$name.log" ||
            fail "$edition $name: no 'Read ... groups' line"
        check_report "$name" "$dir/${name%.csv}.report.csv" 60
    done
done
[ "$found" -eq 1 ] || fail "no examples in $source/examples"

# A "-" in column R turns the report file off for that groups file only.
dir=$work/silent
mkdir -p "$dir"
printf '#,A,N,R\n0,60,10,-\n' > "$dir/quiet.csv"
printf '#,A,N,R\n0,60,10,x\n' > "$dir/loud.csv"
for edition in current legacy; do
    flag=()
    [ "$edition" = legacy ] && flag=(--legacy)
    rm -f "$dir"/*.report.csv
    (cd "$dir" && "$batch" "${flag[@]}" --steps 160 quiet.csv > quiet.log 2>&1) ||
        fail "$edition quiet.csv: ombrane-batch failed"
    grep -q $'^File Output Turned Off\r$' "$dir/quiet.log" || fail "$edition quiet.csv: no message"
    [ ! -e "$dir/quiet.report.csv" ] || fail "$edition quiet.csv: report file written despite '-'"
    (cd "$dir" && "$batch" "${flag[@]}" --steps 160 loud.csv > loud.log 2>&1) ||
        fail "$edition loud.csv: ombrane-batch failed"
    check_report loud.csv "$dir/loud.report.csv" 2
done

if [ "$failures" -ne 0 ]; then
    echo "$failures check(s) failed" >&2
    exit 1
fi
echo "examples: all checks passed"
