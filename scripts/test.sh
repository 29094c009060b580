#!/usr/bin/env bash
# Installs what is needed, builds Karvel and runs every test:
#   0. the include layers and clang-format;
#   1. g++ build, warnings as errors, all tests (with the check that karvel-batch's
#      words are documented), then the Debian package, built and checked;
#   2. clang build with AddressSanitizer and UndefinedBehaviorSanitizer, all tests;
#   3. clang build with ThreadSanitizer, the dialog, worker, instance lock and threaded
#      engine tests (label "threads");
#   4. a short fuzzing session of the libFuzzer targets (scripts/fuzz.sh).
# Build folders go to out/. Exits non-zero when any build or test fails.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh

jobs=$(nproc)
export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

configure_and_build() {
  local dir=$1
  shift
  cmake -S . -B "$dir" -G Ninja -DKARVEL_WERROR=ON "$@"
  cmake --build "$dir" -j "$jobs"
}

echo "== layers and formatting"
scripts/check-layers.sh
git ls-files '*.cc' '*.h' | xargs clang-format --dry-run --Werror

echo "== g++, warnings as errors"
configure_and_build out/gcc -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=g++
ctest --test-dir out/gcc --output-on-failure -j "$jobs"

echo "== the Debian package"
scripts/check-package.sh out/gcc/batch/karvel-batch

echo "== clang, AddressSanitizer and UndefinedBehaviorSanitizer"
configure_and_build out/asan -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_COMPILER=clang++ \
  -DKARVEL_SANITIZE=address,undefined -DKARVEL_BUILD_BENCH=OFF
ctest --test-dir out/asan --output-on-failure -j "$jobs"

echo "== clang, ThreadSanitizer: dialog, worker and threaded engine"
cmake -S . -B out/tsan -G Ninja -DKARVEL_WERROR=ON -DCMAKE_BUILD_TYPE=Debug \
  -DCMAKE_CXX_COMPILER=clang++ -DKARVEL_SANITIZE=thread -DKARVEL_BUILD_BENCH=OFF
cmake --build out/tsan -j "$jobs" --target dialog_test dialog_view_test worker_test \
  instance_lock_test index_tests hardening_tests
ctest --test-dir out/tsan --output-on-failure -j "$jobs" -L threads --no-tests=error

echo "== fuzzing: libFuzzer, 60 seconds per target"
scripts/fuzz.sh 60
