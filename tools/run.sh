#!/usr/bin/env bash
# The main job: installs what is needed, builds, registers the component for
# the current user (per-user registry), writes a default configuration and
# shows it; then opens the editor when a display is there.
set -euo pipefail
cd "$(dirname "$0")/.."

tools/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$(nproc)"

build/bin/quillon register
build/bin/quillon new build/default.S19
echo "--- build/default.S19"
cat build/default.S19
echo "--- quillon show build/default.S19"
build/bin/quillon show build/default.S19

if [[ -x build/bin/brindle ]]; then
  if [[ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]]; then
    exec build/bin/brindle
  fi
  echo "No display: start the editor with build/bin/brindle on a desktop session."
fi
