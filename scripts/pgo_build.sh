#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Profile-guided build: builds instrumented benchmarks, trains them on short
# runs of the search and perft benchmarks, then rebuilds everything in the same
# directory with the profile. Further arguments go to cmake (both phases).
#
#   scripts/pgo_build.sh BUILD_DIR [cmake arguments...]
set -eu
# A compiler cache that rewrites source paths makes the profile look stale.
export CCACHE_DISABLE=1

[ $# -ge 1 ] || { echo "usage: $0 BUILD_DIR [cmake arguments...]" >&2; exit 2; }
root=$(cd "$(dirname "$0")/.." && pwd)
build=$1
shift
profile=$(mkdir -p "$build" && cd "$build" && pwd)/pgo-profile

cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DTARVOK_BUILD_BENCH=ON \
    -DTARVOK_PGO=generate -DTARVOK_PGO_DIR="$profile" "$@" > /dev/null
rm -rf "$profile"
cmake --build "$build" -j2 --target bench_search bench_perft > /dev/null

echo "training on bench_search and bench_perft" >&2
"$build/bench_search" 7 > /dev/null
"$build/bench_perft" --train > /dev/null

# clang writes raw profiles that must be merged before use.
if grep -q 'CMAKE_CXX_COMPILER_ID "Clang"' "$build"/CMakeFiles/*/CMakeCXXCompiler.cmake; then
    merge=$(command -v llvm-profdata || ls /usr/bin/llvm-profdata-* 2> /dev/null | tail -n 1)
    [ -n "$merge" ] || { echo "$0: clang's profile needs llvm-profdata" >&2; exit 1; }
    "$merge" merge -output="$profile/tarvok.profdata" "$profile"/*.profraw
fi

cmake -S "$root" -B "$build" -DTARVOK_PGO=use "$@" > /dev/null
cmake --build "$build" -j2
