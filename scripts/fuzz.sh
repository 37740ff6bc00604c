#!/usr/bin/env bash
# Fuzzes the certificate file reader (reader, the default), the registry file writer (reg), the
# backup's registry file reader (regread) or the OpenPGP message reader (pgp) for SECONDS
# (default 300) in build-native/, under the sanitizers, on a corpus that grows from run to run
# (build-native/fuzz/long-corpus, seeded from fuzz/corpus; for the others long-corpus-NAME, seeded
# from fuzz/corpus-NAME). Prints the executions and the findings, which land in
# build-native/fuzz/findings/ (for the others, findings-NAME/). Further arguments go to libFuzzer
# (-runs=10000000, say).
#     scripts/fuzz.sh [SECONDS] [reader|reg|regread|pgp] [LIBFUZZER-OPTION...]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-300}
target=${2:-reader}
case $target in
reader) fuzzer=certificate_file_fuzzer seeds=fuzz/corpus suffix= ;;
reg) fuzzer=reg_file_fuzzer seeds=fuzz/corpus-reg suffix=-reg ;;
regread) fuzzer=reg_file_reader_fuzzer seeds=fuzz/corpus-regread suffix=-regread ;;
pgp) fuzzer=openpgp_fuzzer seeds=fuzz/corpus-pgp suffix=-pgp ;;
*)
    echo "usage: scripts/fuzz.sh [SECONDS] [reader|reg|regread|pgp] [LIBFUZZER-OPTION...]" >&2
    exit 2
    ;;
esac
shift $(($# < 2 ? $# : 2))
scripts/test-native.sh --build-only
out=build-native/fuzz
corpus=$out/long-corpus$suffix findings=$out/findings$suffix log=$out/fuzz$suffix.log
mkdir -p "$corpus" "$findings"
cp -r "$seeds/." "$corpus/"
status=0
"$out/$fuzzer" -max_total_time="$seconds" -print_final_stats=1 \
    -artifact_prefix="$findings/" "$@" "$corpus" 2>"$log" || status=$?
grep -E '^(Done|stat::(number_of_executed_units|average_exec_per_sec|new_units_added)|check failed)|ERROR' \
    "$log" || true
echo "corpus: $(ls "$corpus" | wc -l) files; findings: $(ls "$findings" | wc -l)"
ls "$findings"
[[ $status -eq 0 ]] || echo "the fuzzer stopped with status $status: see $log"
exit $status
