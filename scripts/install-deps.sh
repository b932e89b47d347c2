#!/usr/bin/env bash
# Installs, as root on Debian, whichever of the packages that the build and
# the tests need are missing. Quiet when everything is there.
set -euo pipefail

packages=(
  cmake g++ make libgtest-dev libbenchmark-dev        # native build, tests, benchmarks
  clang libclang-rt-14-dev                            # libFuzzer and sanitizers
  g++-mingw-w64-x86-64 binutils-mingw-w64-x86-64      # the Windows programs
  wine wine64 xvfb xdotool imagemagick x11-utils      # running and driving them
  gnuplot-nox                                         # ombrane-batch --plot, ombrane-lab plot
  parallel                                            # the ombrane-lab jobs test
)
if [ "${1:-}" = "--run-only" ]; then
  packages=(cmake g++ make g++-mingw-w64-x86-64 binutils-mingw-w64-x86-64 wine wine64 xvfb)
fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
