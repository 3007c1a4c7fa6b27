#!/usr/bin/env bash
# Configures and builds the native tree in build/ (targets given as arguments,
# all by default). TROVEX_WERROR=ON makes warnings errors, as the test
# command does.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTROVEX_WERROR="${TROVEX_WERROR:-OFF}" >/dev/null
if [ $# -gt 0 ]; then
  for t in "$@"; do cmake --build build --target "$t"; done
else
  cmake --build build
fi
