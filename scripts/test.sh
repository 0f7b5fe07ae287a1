#!/usr/bin/env bash
# Builds everything and runs every test: unit tests and end-to-end runs against the simulator.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/build.sh -DFERROX_WINE_TESTS=OFF   # the wine tables are scripts/windows-check.sh's
ctest --test-dir build --output-on-failure -j"$(nproc)"
