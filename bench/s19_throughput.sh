#!/usr/bin/env bash
# Whole-process reading of the 40 MB file: our reader against objcopy and
# srec_cat, in one run. Usage: bench/s19_throughput.sh [BUILD_DIR]
set -euo pipefail
build=${1:-build}
file=$(mktemp --suffix=.S19)
trap 'rm -f "$file"' EXIT
"$build/bin/s19_tool" generate "$file"
size=$(stat -c %s "$file")
echo "file: $size bytes"
hyperfine --warmup 2 --runs 10 -N --export-json "$build/s19_throughput.json" \
  "$build/bin/s19_tool read $file" \
  "objcopy -I srec -O binary $file /dev/null" \
  "srec_cat $file -o /dev/null -binary"
python3 - "$build/s19_throughput.json" "$size" <<'PY'
import json, sys
data = json.load(open(sys.argv[1])); size = int(sys.argv[2])
for r in data["results"]:
    print(f'{r["command"].split()[0]:>24}: {r["mean"]*1000:8.1f} ms  {size / r["mean"] / 1e6:8.0f} MB/s')
PY
