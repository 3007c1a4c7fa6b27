#!/usr/bin/env bash
# Cross-builds the Windows add-in with MinGW-w64: build-win64 (x86_64, the one
# Wine runs) and build-win32 (i686, checked by objdump only). Both Release,
# Ninja; each builds the DLL, the Outlook test host and its tests.
# Targets given as arguments are built instead of everything.
# TROVEX_WERROR=ON makes warnings errors, as the test command does.
set -euo pipefail
cd "$(dirname "$0")/.."

for arch in x86_64:build-win64 i686:build-win32; do
  toolchain=${arch%%:*}
  dir=${arch#*:}
  cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DTROVEX_WERROR="${TROVEX_WERROR:-OFF}" \
    -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/toolchain-mingw-$toolchain.cmake" >/dev/null
  if [ $# -gt 0 ]; then
    cmake --build "$dir" --target "$@"
  else
    cmake --build "$dir"
  fi
done
