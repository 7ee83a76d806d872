#!/usr/bin/env bash
# Builds the reader's fuzz target with clang and runs it for N seconds
# (default 30) over the stored corpus plus a working corpus in the build.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-30}
dir=build-fuzz
CC=clang CXX=clang++ cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DQUILLON_FUZZ=ON -DQUILLON_TESTS=OFF -DQUILLON_BENCH=OFF -DQUILLON_EDITOR=OFF >/dev/null
cmake --build "$dir" --target fuzz_s19_reader
mkdir -p "$dir/corpus"
log="$dir/fuzz.log"
status=0
"$dir/bin/fuzz_s19_reader" -max_total_time="$seconds" -dict=fuzz/s19.dict -print_final_stats=1 \
  -timeout=10 -rss_limit_mb=2048 -artifact_prefix="$dir/" "$dir/corpus" fuzz/corpus >"$log" 2>&1 || status=$?
grep -E "stat::number_of_executed_units|stat::peak_rss_mb|DONE" "$log" || true
echo "fuzz: working corpus $(find "$dir/corpus" -type f | wc -l) files"
if [[ $status -ne 0 ]]; then
  tail -n 60 "$log"
  echo "fuzz: FAILED (status $status)"
  exit 1
fi
