#!/usr/bin/env bash
# Builds the installer and the portable zip with one command: installs what is missing, builds
# Wardkeep and its help file, then both packages into build/dist/, and prints where they are.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/build.sh wardkeep_package
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:[A-Z]*=//p' build/CMakeCache.txt)
for package in "build/dist/wardkeep-$version-setup.exe" "build/dist/wardkeep-$version.zip"; do
    [ -f "$package" ] || { echo "Not built: $package" >&2; exit 1; }
    echo "$PWD/$package"
done
