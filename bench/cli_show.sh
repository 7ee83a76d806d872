#!/usr/bin/env bash
# `quillon show FILE` as a whole process against objcopy reading the same
# file, and a bare process for scale. Usage: bench/cli_show.sh [BUILD_DIR]
set -euo pipefail
build=$(cd "${1:-build}" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export QUILLON_REGISTRY="$work/registry.txt"
"$build/bin/quillon" register "$build/lib/libQuillon.so" >/dev/null
"$build/bin/quillon" new "$work/a.S19"
hyperfine --warmup 5 --runs 100 -N \
  "$build/bin/quillon show $work/a.S19" \
  "objcopy -I srec -O binary $work/a.S19 /dev/null" \
  "true"
