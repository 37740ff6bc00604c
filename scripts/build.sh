#!/usr/bin/env bash
# Configures build/ with the MinGW-w64 cross compiler (once) and builds the given targets
# (default: everything, tests included).
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build --no-warn-unused-cli -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake >/dev/null
if [ $# -gt 0 ]; then
    cmake --build build -j"$(nproc)" --target "$@"
else
    cmake --build build -j"$(nproc)"
fi
