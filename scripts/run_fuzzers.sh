#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the fuzz targets with clang (libFuzzer, AddressSanitizer and
# UndefinedBehaviorSanitizer) and runs each for the given number of seconds,
# starting from the seed corpus in fuzz/corpus/<target>. New inputs go to a
# scratch corpus; crashing inputs are kept in the output directory.
#
#   scripts/run_fuzzers.sh [seconds per target] [target ...]     default 60, all
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
shift || true
build=${FUZZ_BUILD_DIR:-build-fuzz}
out=${FUZZ_OUT_DIR:-$(mktemp -d /tmp/tarvok-fuzz-XXXXXX)}

CC=clang CXX=clang++ cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTARVOK_FUZZ=ON \
  -DTARVOK_BUILD_TESTS=OFF -DTARVOK_BUILD_BENCH=OFF > /dev/null
cmake --build "$build" -j2 > /dev/null

targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  for source in fuzz/fuzz_*.cpp; do targets+=("$(basename "$source" .cpp)"); done
fi

failed=0
for target in "${targets[@]}"; do
  corpus="$out/$target-corpus"
  mkdir -p "$corpus" "$out/$target-artifacts"
  cp fuzz/corpus/"$target"/* "$corpus"/ 2>/dev/null || true
  echo "== $target: ${seconds}s"
  # The protocol targets start real searches: give each input time.
  if ! (cd "$out" && "$OLDPWD/$build/$target" -max_total_time="$seconds" -max_len=2048 -timeout=60 \
        -rss_limit_mb=4096 -artifact_prefix="$out/$target-artifacts/" "$corpus" > "$out/$target.log" 2>&1); then
    echo "   FAILED: see $out/$target.log and $out/$target-artifacts/"
    tail -20 "$out/$target.log"
    failed=1
  else
    grep -E '^Done|stat::number_of_executed_units' "$out/$target.log" | tail -1
  fi
done
echo "fuzz output in $out"
exit $failed
