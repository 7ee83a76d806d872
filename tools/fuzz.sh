#!/usr/bin/env bash
# Builds the fuzz targets with clang and runs each for N seconds (default
# 30): the S-record reader over its stored corpus, the type library reader
# over the type libraries the build makes; each with a working corpus in
# the build.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-30}
dir=build-fuzz
CC=clang CXX=clang++ cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DQUILLON_FUZZ=ON -DQUILLON_TESTS=OFF -DQUILLON_BENCH=OFF -DQUILLON_EDITOR=OFF >/dev/null
cmake --build "$dir" --target fuzz_s19_reader fuzz_typelib_reader platform

run() {
  local target=$1; shift
  mkdir -p "$dir/corpus-$target"
  local log="$dir/$target.log"
  local status=0
  "$dir/bin/$target" -max_total_time="$seconds" -print_final_stats=1 -timeout=10 -rss_limit_mb=2048 \
    -artifact_prefix="$dir/$target-" "$@" "$dir/corpus-$target" "${seeds[@]}" >"$log" 2>&1 || status=$?
  grep -E "stat::number_of_executed_units|stat::peak_rss_mb|DONE" "$log" || true
  echo "fuzz: $target: working corpus $(find "$dir/corpus-$target" -type f | wc -l) files"
  if [[ $status -ne 0 ]]; then
    tail -n 60 "$log"
    echo "fuzz: $target FAILED (status $status)"
    exit 1
  fi
}

seeds=(fuzz/corpus)
run fuzz_s19_reader -dict=fuzz/s19.dict
mkdir -p "$dir/typelibs"
cp "$dir/component/Quillon.tlb" "$dir/platform/stdole.tlb" "$dir/typelibs/"
seeds=("$dir/typelibs")
run fuzz_typelib_reader
