#!/usr/bin/env bash
# Measures the certificate file reader on three 1 GiB files (one line without end, certificate
# files run together, random bytes) in an optimised build without sanitizers in build-bench/:
# MB/s (10^6 bytes) and peak memory for each. The files live in a temporary directory that is
# removed afterwards.
set -eu # not pipefail: `yes` and `tr` end by SIGPIPE when `head` has enough
cd "$(dirname "$0")/.."
cmake -S . -B build-bench --no-warn-unused-cli -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DWARDKEEP_BUILD_TESTS=OFF >/dev/null
cmake --build build-bench --target read_certificate_benchmark -j"$(nproc)"
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
size=$((1024 * 1024 * 1024))
yes 'UserKey = 0123456789abcdef CookieKey = User = ' | tr -d '\n' | head -c $size >"$dir/one-line"
yes $'[Lockwell]\r\nVersion = 2.0\r\nUser = alice\r\n\r\n[Keys]\r
UserKey = 0123456789abcdeffedcba9876543210\r\nCookieKey = a5a5a5a5a5a5a5a5a5a5a5a5a5a5a5a5\r' |
    head -c $size >"$dir/short-lines"
# Without Ctrl-Z, which would end the data within the first few hundred bytes.
head -c $size /dev/urandom | tr '\032' '\033' >"$dir/random"
for kind in one-line short-lines random; do
    build-bench/bench/read_certificate_benchmark "$dir/$kind"
done
