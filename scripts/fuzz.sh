#!/usr/bin/env bash
# Fuzzes the certificate file reader for SECONDS (default 300) in build-native/, under the
# sanitizers, on a corpus that grows from run to run (build-native/fuzz/long-corpus, seeded from
# fuzz/corpus). Prints the executions and the findings, which land in build-native/fuzz/findings/.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-300}
scripts/test-native.sh --build-only
out=build-native/fuzz
mkdir -p "$out/long-corpus" "$out/findings"
cp -r fuzz/corpus/. "$out/long-corpus/"
status=0
"$out/certificate_file_fuzzer" -max_total_time="$seconds" -print_final_stats=1 \
    -artifact_prefix="$out/findings/" "$out/long-corpus" 2>"$out/fuzz.log" || status=$?
grep -E '^(Done|stat::(number_of_executed_units|average_exec_per_sec|new_units_added)|check failed)|ERROR' \
    "$out/fuzz.log" || true
echo "corpus: $(ls "$out/long-corpus" | wc -l) files; findings: $(ls "$out/findings" | wc -l)"
ls "$out/findings"
[[ $status -eq 0 ]] || echo "the fuzzer stopped with status $status: see $out/fuzz.log"
exit $status
