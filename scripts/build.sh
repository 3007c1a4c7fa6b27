#!/usr/bin/env bash
# Configures and builds the native tree in build/ (targets given as arguments,
# all by default).
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
if [ $# -gt 0 ]; then
  for t in "$@"; do cmake --build build --target "$t"; done
else
  cmake --build build
fi
