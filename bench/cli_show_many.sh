#!/usr/bin/env bash
# `quillon show` over COUNT copies of the default file in one process, against
# COUNT runs of `objcopy -I srec -O binary` (which takes one file per
# process). Prints files per second for both.
# Usage: bench/cli_show_many.sh [BUILD_DIR] [COUNT]
set -euo pipefail
build=$(cd "${1:-build}" && pwd)
count=${2:-1000}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export QUILLON_REGISTRY="$work/registry.txt"
quillon="$build/bin/quillon"
"$quillon" register "$build/lib/libQuillon.so" >/dev/null
mkdir "$work/files"
"$quillon" new "$work/files/0.S19"
for ((i = 1; i < count; i++)); do cp "$work/files/0.S19" "$work/files/$i.S19"; done
cd "$work/files"
hyperfine --warmup 1 --runs 5 --export-json "$work/times.json" \
  "$quillon show *.S19 > /dev/null" \
  "for f in *.S19; do objcopy -I srec -O binary \$f /dev/null; done"
python3 - "$work/times.json" "$count" <<'PY'
import json, sys
results = json.load(open(sys.argv[1]))["results"]
count = int(sys.argv[2])
for name, r in zip(["quillon show (one process)", "objcopy (a process per file)"], results):
    print(f"{name}: {count / r['mean']:.0f} files/s ({r['mean'] * 1000:.0f} ms for {count} files)")
PY
