#!/usr/bin/env bash
# Installs, as root on Debian, whichever packages a task needs that are
# missing; quiet when everything is there. Every script that needs packages
# asks here, so each package is named once.
#
#   scripts/install-deps.sh              everything: builds, tests, fuzzing, run
#   scripts/install-deps.sh --run-only   what scripts/run.sh needs
#   scripts/install-deps.sh --wine-tests what scripts/wine-tests.sh needs
#   scripts/install-deps.sh --release    what scripts/release.sh needs
#   scripts/install-deps.sh --slurm      what scripts/slurm-local.sh needs
#
# Exits 1, naming the packages, when some are missing and this is not root
# on a machine with apt-get.
set -euo pipefail

windows_build=(cmake make ninja-build g++-mingw-w64-x86-64 binutils-mingw-w64-x86-64)
slurm=(slurm-wlm munge)                               # a local Slurm for ombrane-lab submit
run=("${windows_build[@]}" wine wine64 fonts-wine xvfb x11vnc novnc websockify)
wine_tests=(
  "${run[@]}"
  googletest                                          # the GDI tests, cross-built
  xdotool imagemagick x11-utils                       # driving the Windows programs
  curl vncsnapshot                                    # checking the run command's web view
  chromium nodejs                                     # ... and opening it in a real browser
)
all=(
  "${wine_tests[@]}"
  g++ libgtest-dev libbenchmark-dev time              # native build, tests, benchmarks
  clang libclang-rt-14-dev                            # libFuzzer and sanitizers
  gnuplot-nox                                         # ombrane-batch --plot, ombrane-lab plot
  parallel                                            # the ombrane-lab jobs test
  "${slurm[@]}"
)

case "${1:-}" in
  "")         packages=("${all[@]}") ;;
  --run-only) packages=("${run[@]}") ;;
  --wine-tests) packages=("${wine_tests[@]}") ;;
  --release)  packages=("${windows_build[@]}") ;;
  --slurm)    packages=("${slurm[@]}") ;;
  *) echo "usage: scripts/install-deps.sh [--run-only | --wine-tests | --release | --slurm]" >&2; exit 2 ;;
esac

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" != 0 ] || ! command -v apt-get >/dev/null 2>&1; then
  echo "Please install: ${missing[*]}" >&2
  exit 1
fi
echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
timeout 900 apt-get update -qq
timeout 1800 apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
