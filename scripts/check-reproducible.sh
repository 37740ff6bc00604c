#!/usr/bin/env bash
# Checks that the build is reproducible: builds a commit (HEAD unless named) twice, in two fresh
# clones in folders of different names and depths, one after the other, the second with another
# time zone, locale and umask, and compares what a release ships, byte for byte: the two programs,
# the help file and every package in build/dist/. Where the MSI differs, it also compares its
# tables and streams one by one, to say where. Prints the checksums of the first build.
#   scripts/check-reproducible.sh [COMMIT | --worktree]
# --worktree builds the files as they are now, committed or not (but for what .gitignore leaves
# out), as a commit that no branch names.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh

repo=$PWD
if [ "${1:-}" = --worktree ]; then
    index=$(mktemp)
    cp "$(git rev-parse --git-path index)" "$index"
    GIT_INDEX_FILE=$index git add --all
    commit=$(git commit-tree -p HEAD -m "The work tree, for scripts/check-reproducible.sh" \
        "$(GIT_INDEX_FILE=$index git write-tree)")
    rm -f "$index"
else
    commit=$(git rev-parse --verify "${1:-HEAD}^{commit}")
fi
if [ $# -eq 0 ] && [ -n "$(git status --porcelain --untracked-files=no)" ]; then
    echo "Note: uncommitted changes are not part of the check, which builds HEAD."
fi
scratch=$(mktemp -d)
[ -n "${KEEP_BUILDS:-}" ] || trap 'rm -rf "$scratch"' EXIT
first=$scratch/a/src
second=$scratch/second-build-in-a-deeper-folder/of-another-name/src

build() { # build TREE UMASK [ENVIRONMENT...]
    local tree=$1 mask=$2
    shift 2
    # A local clone shares all the objects, also those of a commit that no branch names.
    git clone --quiet --no-checkout "$repo" "$tree"
    git -C "$tree" checkout --quiet --detach "$commit"
    echo "[${SECONDS}s] Building $(git -C "$tree" rev-parse --short HEAD) in $tree"
    # The packages only: no test programs.
    (cd "$tree" && umask "$mask" && env "$@" scripts/build.sh wardkeep_package >"$tree.log" 2>&1) ||
        { tail -30 "$tree.log" >&2; exit 1; }
}
build "$first" 022
build "$second" 077 TZ=Pacific/Chatham LC_ALL=C.UTF-8

shipped=(build/wardkeep.exe build/wardkeepc.exe build/wardkeep.chm)
for file in "$first"/build/dist/*; do
    shipped+=("build/dist/$(basename "$file")")
done

different=0
for file in "${shipped[@]}"; do
    if [ ! -f "$second/$file" ]; then
        echo "DIFFERS: $file is missing from the second build"
        different=1
    elif cmp -s "$first/$file" "$second/$file"; then
        echo "same     $(sha256sum "$first/$file" | cut -c1-16)  $file"
    else
        echo "DIFFERS: $file ($(cmp -l "$first/$file" "$second/$file" 2>/dev/null | wc -l) bytes)"
        different=1
        if [[ $file == *.msi ]]; then
            for tree in "$first" "$second"; do
                mkdir -p "$tree/msi-tables"
                msidump --tables --streams --directory "$tree/msi-tables" "$tree/$file" >/dev/null
            done
            diff -r "$first/msi-tables" "$second/msi-tables" | head -20 || true
        fi
    fi
done
if [ $different -ne 0 ]; then
    echo "The two builds differ." >&2
    exit 1
fi
echo "The two builds are identical."
