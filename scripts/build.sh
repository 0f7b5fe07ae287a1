#!/usr/bin/env bash
# Configures and builds into build/ (programs in build/bin, simulator in build/sim-bin).
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build -DFERROX_WERROR=ON -DFERROX_BENCH=ON "$@" >/dev/null
cmake --build build -j"$(nproc)"
