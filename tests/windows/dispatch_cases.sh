#!/usr/bin/env bash
# Runs the dispatch cases on our platform: registers the component in a
# registry of its own and runs the cases in an empty folder.
# Usage: dispatch_cases.sh QUILLON LIBQUILLON DISPATCH_CASES OUTPUT
set -euo pipefail
quillon=$(realpath "$1") library=$(realpath "$2") cases=$(realpath "$3") output=$4
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export QUILLON_REGISTRY=$work/registry.txt
"$quillon" register "$library" >/dev/null
mkdir "$work/run"
(cd "$work/run" && "$cases") >"$work/output.txt"
cat "$work/output.txt" >"$output"
