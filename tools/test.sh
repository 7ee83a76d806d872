#!/usr/bin/env bash
# Installs what is needed, then builds and runs every test twice: a normal
# build, and a build with AddressSanitizer and UndefinedBehaviorSanitizer;
# between them the Windows build and its tests under Wine. A short fuzzing
# run of the reader ends it.
set -euo pipefail
cd "$(dirname "$0")/.."

tools/install-deps.sh

jobs=$(nproc)
export CTEST_OUTPUT_ON_FAILURE=1

run_build() {
  local dir=$1; shift
  echo "=== build: $dir $*"
  cmake -S . -B "$dir" -G Ninja "$@"
  cmake --build "$dir" -j "$jobs"
  echo "=== tests: $dir"
  ctest --test-dir "$dir" -j "$jobs" --timeout 300
}

run_build build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUILLON_WERROR=ON

# The same sources built for Windows, and tested under Wine against the
# build above (skipped, saying so, without the cross tools or Wine).
echo "=== build: build-windows (mingw-w64)"
tools/build-windows.sh build-windows
echo "=== tests: build-windows (Wine)"
tools/test-windows.sh build-windows build

ASAN_OPTIONS=detect_leaks=1:halt_on_error=1 UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
  run_build build-asan -DCMAKE_BUILD_TYPE=Debug -DQUILLON_SANITIZE=ON -DQUILLON_BENCH=OFF -DQUILLON_WERROR=ON

# The tests that run threads or processes at once, under ThreadSanitizer.
echo "=== build: build-tsan (concurrency tests)"
cmake -S . -B build-tsan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUILLON_TSAN=ON -DQUILLON_WERROR=ON -DQUILLON_EDITOR=OFF -DQUILLON_BENCH=OFF
cmake --build build-tsan -j "$jobs" --target platform_tests component_object_tests
TSAN_OPTIONS=halt_on_error=1 ctest --test-dir build-tsan --timeout 300 -R "EachThreadHasItsOwnSlot|WritingAtOnce|Concurrency[.]"

echo "=== fuzz smoke run"
tools/fuzz.sh "${QUILLON_FUZZ_SECONDS:-30}"
echo "=== all tests passed"
