#!/usr/bin/env bash
# Cross-builds ferrox and tagsmith for Windows (mingw-w64), warnings as errors.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake -S . -B build-win -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
      -DFERROX_WERROR=ON -DFERROX_TESTS=OFF >/dev/null
cmake --build build-win -j"$(nproc)"
ls -l build-win/bin
