#!/usr/bin/env bash
# The whole test suite: installs what it needs, builds, runs every test --
# once as shipped, once more under AddressSanitizer and UBSan.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh
ctest --test-dir build --output-on-failure -j2

echo "== again under AddressSanitizer and UBSan"
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTROVEX_SANITIZE=ON -DTROVEX_BUILD_BENCH=OFF >/dev/null
cmake --build build-asan
ctest --test-dir build-asan --output-on-failure -j2
