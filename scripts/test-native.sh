#!/usr/bin/env bash
# Builds the portable code (no Windows headers) natively with clang's address and
# undefined-behaviour sanitizers in build-native/ and runs its tests, the fuzzer's short run
# among them. With --build-only it only builds; other arguments go to CTest.
set -euo pipefail
cd "$(dirname "$0")/.."
sanitizers="-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer"
cmake -S . -B build-native --no-warn-unused-cli -DCMAKE_BUILD_TYPE=Debug \
    -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
    -DCMAKE_C_FLAGS="$sanitizers" -DCMAKE_CXX_FLAGS="$sanitizers" >/dev/null
cmake --build build-native -j"$(nproc)"
if [[ "${1:-}" == --build-only ]]; then
    exit 0
fi
ctest --test-dir build-native --output-on-failure -j"$(nproc)" "$@"
