#!/usr/bin/env bash
# The whole test suite: installs what it needs, builds, runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh
ctest --test-dir build --output-on-failure -j2
