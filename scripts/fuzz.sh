#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (AddressSanitizer and
# UndefinedBehaviorSanitizer) in out/fuzz and runs each one for a while on a
# copy of its seed corpus from tests/fuzz/corpus/.
#
#   scripts/fuzz.sh [SECONDS]     SECONDS per target, default 60
#
# Exits non-zero when a build fails or a target finds a crash, a leak, a
# sanitizer report or a broken check; the input that did it is kept in
# out/fuzz/findings/.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-60}
targets=(keywords_fuzzer blocks_fuzzer run_fuzzer)
build=out/fuzz

cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
  -DKARVEL_BUILD_FUZZ=ON -DKARVEL_BUILD_APP=OFF -DKARVEL_BUILD_BENCH=OFF -DKARVEL_WERROR=ON
cmake --build "$build" -j "$(nproc)" --target "${targets[@]}"

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
mkdir -p "$build/findings"
failed=0
for target in "${targets[@]}"; do
  work="$build/corpus/$target"
  rm -rf "$work"
  mkdir -p "$work"
  cp tests/fuzz/corpus/"$target"/* "$work"/
  echo "== $target for $seconds seconds"
  if ! "$build/tests/fuzz/$target" -max_total_time="$seconds" -max_len=16384 -timeout=60 \
      -rss_limit_mb=3072 -print_final_stats=1 \
      -artifact_prefix="$build/findings/$target-" "$work" > "$build/$target.log" 2>&1; then
    echo "!! $target found a fault; its log: $build/$target.log"
    grep -E 'FUZZ FINDING|ERROR:|runtime error|Test unit written' "$build/$target.log" || true
    failed=$((failed + 1))
  else
    grep -E '^stat::number_of_executed_units' "$build/$target.log" || true
  fi
done
echo "fuzzing: $((${#targets[@]} - failed)) passed, $failed failed"
[ "$failed" -eq 0 ]
