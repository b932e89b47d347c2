#!/bin/bash
# The Windows release: scripts/release.sh must make ombrane-<version>-win64.zip
# holding exactly both programs, helpfile.txt, README.txt and the examples
# in one folder, and each program must carry its edition's version resource.
#
# Usage: tests/wine/release-zip.sh [build-dir]     (default: build/windows)
# Prints one line per check and "N passed, M failed"; exits non-zero on any
# failure.
set -u

ROOT=$(cd "$(dirname "$0")/../.." && pwd)
BUILD=${1:-$ROOT/build/windows}
. "$ROOT/scripts/wine-harness.sh"

WORK=$(mktemp -d /tmp/ombrane-release.XXXXXX)
trap 'rm -rf "$WORK"' EXIT

zip=$("$ROOT/scripts/release.sh" "$BUILD" 2>"$WORK/release.err" | tail -n1)
check "scripts/release.sh makes the zip" test -f "$zip"
[ -f "$zip" ] || { sed 's/^/#   /' "$WORK/release.err"; finish; }
version=$(sed -n 's/^#define OMBRANE_VERSION  *"\(.*\)"$/\1/p' "$BUILD/generated/ombrane_version.h")
legacy=$(sed -n 's/^#define OMBRANE_LEGACY_VERSION  *"\(.*\)"$/\1/p' "$BUILD/generated/ombrane_version.h")
top=ombrane-$version-win64
check "the zip is named $top.zip" test "$(basename "$zip")" = "$top.zip"

# The files of the listing, folders left out, in name order.
cmake -E tar tf "$zip" | grep -v '/$' | sort >"$WORK/listing"
{
    for f in ombrane.exe ombrane-legacy.exe helpfile.txt README.txt; do echo "$top/$f"; done
    (cd "$ROOT/examples" && git ls-files . 2>/dev/null || ls) | sed "s|^|$top/examples/|"
} | sort >"$WORK/expected"
check "the zip holds the programs, help, README and examples, nothing else" cmp -s "$WORK/listing" "$WORK/expected"
cmp -s "$WORK/listing" "$WORK/expected" || diff "$WORK/expected" "$WORK/listing" | sed 's/^/#   /'

(cd "$WORK" && cmake -E tar xf "$zip")
check "helpfile.txt is the one in the tree" cmp -s "$WORK/$top/helpfile.txt" "$ROOT/helpfile.txt"
check "README.txt names the version and says how to start" \
    bash -c "grep -qF 'Ombrane $version for Windows' '$WORK/$top/README.txt' && grep -qF 'double-click ombrane.exe' '$WORK/$top/README.txt'"
check "README.txt has Windows line ends" bash -c "! tr -d '\r' <'$WORK/$top/README.txt' | cmp -s - '$WORK/$top/README.txt'"

version_resource() { # exe -> its VERSIONINFO block as windres prints it
    x86_64-w64-mingw32-windres -i "$1" -O rc 2>/dev/null | sed -n '/VERSIONINFO/,$p'
}
parts() {          # "0.8" -> "0 8 0": a missing part is 0
    local IFS=.
    # shellcheck disable=SC2086 # split at the dots
    set -- $1 0 0
    echo "$1 $2 $3"
}
has_version() {    # exe, version "0.8"
    local info major minor patch
    info=$(version_resource "$1")
    read -r major minor patch <<<"$(parts "$2")"
    grep -qxF " FILEVERSION $major, $minor, $patch, 0" <<<"$info" &&
        grep -qF "VALUE \"FileVersion\", \"$major.$minor.$patch.0\"" <<<"$info" &&
        grep -qF "VALUE \"ProductVersion\", \"$2\"" <<<"$info" &&
        grep -qF 'VALUE "ProductName", "Ombrane"' <<<"$info"
}
check "ombrane.exe carries version $version" has_version "$WORK/$top/ombrane.exe" "$version"
check "ombrane-legacy.exe carries version $legacy" has_version "$WORK/$top/ombrane-legacy.exe" "$legacy"

finish
