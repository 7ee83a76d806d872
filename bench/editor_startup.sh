#!/bin/bash
# Cold start of the editor to its first shown (and painted) window, whole
# process, on the offscreen platform, timed with hyperfine.
#
#   bench/editor_startup.sh BUILD_DIR [hyperfine options...]
#
# Registers the built component in a registry of its own first. The target
# is at most 150 ms per start.
set -eu
build=${1:?usage: editor_startup.sh BUILD_DIR [hyperfine options]}
shift
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
export QUILLON_REGISTRY=$tmp/registry.txt
export QT_QPA_PLATFORM=offscreen
export XDG_RUNTIME_DIR=$tmp
"$build/bin/quillon" register "$build/lib/libQuillon.so" >/dev/null
hyperfine --warmup 3 --min-runs 30 -N "$@" "$build/bin/brindle --quit-after-show"
