#!/usr/bin/env bash
# Measures how listing the certificate store scales with its size (not a test): builds the store
# benchmark with the floor program, runs it under Wine in the build tree's private prefix on a
# private Xvfb display, writes the medians to build/bench-store.csv and plots them into
# docs/performance-store.png.
#   scripts/bench-store.sh [runs per figure, default 5] [benchmark options: --sizes 0,1000,...]
#   scripts/bench-store.sh [runs] --variants all|<name>,... [--sizes 10000,40000]
# --variants compares only the orders in which the floor program can fill its list (image list
# set before or after the fill, item count announced or not, filled before or after the first
# show, explicit layout; see bench/windows/PlainList.h), each next to the plain floor, at start-up
# and for a refresh; it writes build/bench-store-variants.csv and leaves the plot alone.
# The start-up figures need the real program to find the certificates, so the benchmark seeds the
# prefix's own store (HKLM\SOFTWARE\Lockwell\Users_lkw_20, 32-bit view) and removes it again: do
# not run the tests meanwhile, they use the same prefix and store.
set -euo pipefail
cd "$(dirname "$0")/.."
root="$PWD"
runs="${1:-5}"
shift $(($# > 0 ? 1 : 0))

# The plot needs Debian's Python and matplotlib (another python3 may come first on the PATH).
scripts/setup.sh python3-matplotlib /usr/lib/python3/dist-packages/matplotlib/__init__.py
python=/usr/bin/python3
scripts/build.sh store_benchmark
# The program measured from outside is the one the benchmark was linked with, whatever is built
# meanwhile.
measured="$root/build/bench/windows/measured"
mkdir -p "$measured"
cp build/wardkeep.exe "$measured/wardkeep.exe"
echo "Measuring Wardkeep at $(git log -1 --format='%h %s' 2>/dev/null || echo 'an unknown commit')"
git status --short -- framework store ui res 2>/dev/null | sed 's/^/  uncommitted: /'

windows_path() { printf 'Z:%s' "${1//\//\\}"; }
# A Wine session still running in the prefix (tests, an earlier run) talks to its own display
# and may hold the store: wait for it to end rather than stop it.
export WINEPREFIX="$root/build/wineprefix"
wineserver -w
csv="$root/build/bench-store.csv"
variants=false
for argument in "$@"; do
    if [ "$argument" = --variants ]; then
        variants=true
        csv="$root/build/bench-store-variants.csv"
    fi
done
start=$SECONDS
# Wine ends before its display does.
xvfb-run -a -s "-screen 0 1024x768x24" bash -c '
    status=0
    "$0" "$@" || status=$?
    wineserver -w
    exit $status' \
    build/wine-run.sh build/bench/windows/store_benchmark.exe "$(windows_path "$csv")" \
    --runs "$runs" --program "$(windows_path "$measured/wardkeep.exe")" \
    --floor-program "$(windows_path "$root/build/bench/windows/store_floor_program.exe")" "$@"
echo "The whole run took $((SECONDS - start)) s; figures in ${csv#"$root/"}"
if ! "$variants"; then
    "$python" scripts/plot-store-bench.py "$csv" docs/performance-store.png
    echo "Plot: docs/performance-store.png"
fi
