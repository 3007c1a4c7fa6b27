#!/usr/bin/env bash
# The whole test suite: installs what it needs, builds the native tree and
# both Windows DLLs, runs every test -- the native ones as shipped and again
# under AddressSanitizer and UBSan, the Windows ones under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
# Warnings are errors here, in every tree this command builds.
export TROVEX_WERROR=ON
scripts/build.sh
ctest --test-dir build --output-on-failure -j2

echo "== again under AddressSanitizer and UBSan"
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTROVEX_SANITIZE=ON -DTROVEX_WERROR=ON -DTROVEX_BUILD_BENCH=OFF >/dev/null
cmake --build build-asan
ctest --test-dir build-asan --output-on-failure -j2

echo "== Windows add-in (x64 under Wine, x86 built and checked)"
scripts/build-windows.sh
ctest --test-dir build-win64 --output-on-failure
ctest --test-dir build-win32 --output-on-failure
