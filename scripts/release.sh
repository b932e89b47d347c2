#!/bin/sh
# Makes the Windows release, ombrane-<version>-win64.zip in build/windows (or
# the folder given): both programs, helpfile.txt, examples/ and README.txt
# in one folder of that name. As root on Debian, missing packages are
# installed first. Prints the path of the zip.
#
#   scripts/release.sh [build-dir]
set -eu
here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$here/build/windows}
case $build in /*) ;; *) build=$PWD/$build ;; esac

"$here/scripts/install-deps.sh" --release
"$here/scripts/build-windows.sh" "$build" >"${TMPDIR:-/tmp}/ombrane-release-build.log" 2>&1 ||
  { tail -30 "${TMPDIR:-/tmp}/ombrane-release-build.log" >&2; exit 1; }
(cd "$build" && cpack --config CPackConfig.cmake >/dev/null)
version=$(sed -n 's/^#define OMBRANE_VERSION  *"\(.*\)"$/\1/p' "$build/generated/ombrane_version.h")
zip=$build/ombrane-$version-win64.zip
[ -f "$zip" ] || { echo "cpack made no $zip" >&2; exit 1; }
echo "$zip"
