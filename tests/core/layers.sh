#!/usr/bin/env bash
# The build's layers hold: compiled with the include roots the build gives a
# layer (its own and those of the layers below it), a header of its own layer
# or a lower one is found, and a header of a higher layer is not. This is
# what makes an #include that runs up a layer fail to build.
#
#   layers.sh <ombrane-batch> <source-dir>     (the build folder is the batch's)
set -u

build=$(dirname "$1")
source=$2
compiler=${CXX:-c++}
order=(core files commands frontend)
header_of() {
    case $1 in
        core) echo core/world.h ;;
        files) echo files/groups.h ;;
        commands) echo commands/commands.h ;;
        frontend) echo frontend/road_canvas.h ;;
    esac
}
failures=0
probe() {  # <expect: ok|fails> <header> <include flags...>
    local expect=$1 header=$2
    shift 2
    if printf '#include "%s"\n' "$header" | "$compiler" -std=c++20 -fsyntax-only \
            -I "$build/generated" "$@" -x c++ - 2>/dev/null; then
        [ "$expect" = ok ] && return 0
    else
        [ "$expect" = fails ] && return 0
    fi
    echo "FAIL: $header should $([ "$expect" = ok ] && echo "be found" || echo "not be found") with $*" >&2
    failures=$((failures + 1))
}

for ((i = 0; i < ${#order[@]}; i++)); do
    roots=()
    for ((j = 0; j <= i; j++)); do
        roots+=(-I "$build/layers/ombrane_${order[j]}")
    done
    for ((j = 0; j < ${#order[@]}; j++)); do
        if ((j <= i)); then
            probe ok "$(header_of "${order[j]}")" "${roots[@]}"
        else
            probe fails "$(header_of "${order[j]}")" "${roots[@]}"
        fi
    done
done
# core/search.h is core's own: no layer above it compiles it, whatever it
# sees; core, its tests and its benchmarks do, with the build's definition.
all_roots=()
for layer in "${order[@]}"; do
    all_roots+=(-I "$build/layers/ombrane_$layer")
done
probe fails core/search.h "${all_roots[@]}"
probe ok core/search.h -I "$build/layers/ombrane_core" -DOMBRANE_CORE_INTERNAL
# The source root itself is never an include root of a layer.
for ((i = 0; i < ${#order[@]}; i++)); do
    [ -e "$build/layers/ombrane_${order[i]}/${order[i]}" ] || {
        echo "FAIL: no include root for ${order[i]}" >&2
        failures=$((failures + 1))
    }
done
[ -d "$source/core" ] || { echo "FAIL: no source at $source" >&2; exit 1; }
[ "$failures" -eq 0 ] && echo "layers: every upward include fails, every downward one is found, core/search.h only inside core"
exit $((failures > 0))
