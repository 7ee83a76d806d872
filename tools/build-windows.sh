#!/usr/bin/env bash
# Cross-builds for 64-bit Windows with mingw-w64 into build-windows/bin:
# Quillon.dll (the component), quillon.exe (the command-line client) and
# the programs the Windows tests run under Wine. Skips, saying so, when the
# cross tools are missing (tools/install-deps.sh installs them).
#   tools/build-windows.sh [BUILD_DIR]      (default build-windows)
set -euo pipefail
cd "$(dirname "$0")/.."
dir=${1:-build-windows}

missing=()
for tool in x86_64-w64-mingw32-g++-posix x86_64-w64-mingw32-windres x86_64-w64-mingw32-widl; do
  command -v "$tool" >/dev/null || missing+=("$tool")
done
[[ -f /usr/include/wine/wine/windows/oaidl.idl ]] || missing+=("/usr/include/wine/wine/windows/oaidl.idl (libwine-dev)")
if [[ ${#missing[@]} -gt 0 ]]; then
  echo "build-windows: SKIPPED, cross tools missing: ${missing[*]}"
  echo "  (Debian: g++-mingw-w64-x86-64 binutils-mingw-w64-x86-64 mingw-w64-tools libwine-dev)"
  exit 0
fi

cmake -S . -B "$dir" -G Ninja --no-warn-unused-cli -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
  -DCMAKE_BUILD_TYPE=Release "-DCMAKE_CXX_FLAGS_RELEASE=-O2 -DNDEBUG" -DQUILLON_WERROR=ON >/dev/null
cmake --build "$dir" -j "$(nproc)"
echo "build-windows: $(cd "$dir/bin" && ls -- *.dll *.exe 2>/dev/null | tr '\n' ' ')in $dir/bin"
