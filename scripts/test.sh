#!/usr/bin/env bash
# Installs what is missing, builds Wardkeep with its tests and runs every test under Wine, in a
# private Wine prefix inside build/, on a private Xvfb display; checks the signed packages
# (scripts/check-signing.sh); then builds the portable code natively under the sanitizers and runs
# its tests. Arguments go to the Wine run's CTest.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/build.sh
stop_wine() { WINEPREFIX="$PWD/build/wineprefix" wineserver -k 2>/dev/null || true; }
# A Wine session left from an earlier run would still talk to that run's display.
stop_wine
trap stop_wine EXIT
xvfb-run -a -s "-screen 0 1024x768x24" \
    ctest --test-dir build --output-on-failure -j"$(nproc)" "$@"
scripts/check-signing.sh
scripts/test-native.sh
