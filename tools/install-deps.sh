#!/usr/bin/env bash
# Installs the Debian 12 packages the build, the tests and the tools need.
# Needs root (or sudo). Set QUILLON_SKIP_INSTALL=1 to skip this step on a
# machine where the packages are already present.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  clang libclang-rt-14-dev
  libgtest-dev libgmock-dev libbenchmark-dev libffi-dev
  qt6-base-dev
  srecord binutils
  mingw-w64-tools libwine-dev libwine g++-mingw-w64-x86-64 binutils-mingw-w64-x86-64 wine wine64
  xvfb xauth xdotool imagemagick hyperfine python3 fonts-urw-base35 locales
)

if [[ "${QUILLON_SKIP_INSTALL:-0}" == 1 ]]; then
  exit 0
fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[[ ${#missing[@]} -eq 0 ]] && exit 0

as_root=()
if [[ $(id -u) -ne 0 ]]; then
  if command -v sudo >/dev/null; then
    as_root=(sudo)
  else
    echo "install-deps: not root and no sudo; install these packages and rerun with QUILLON_SKIP_INSTALL=1:" >&2
    echo "  ${missing[*]}" >&2
    exit 1
  fi
fi
echo "install-deps: installing ${missing[*]}"
"${as_root[@]}" apt-get update -qq
DEBIAN_FRONTEND=noninteractive "${as_root[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
