#!/usr/bin/env bash
# Times wardkeepc on many certificates (not a test): creates N certificates (default 1000),
# exports each to a certificate file, deletes them, imports the files again, turns them into one
# .reg file and imports that with the system's "reg import /reg:32". Checks that the store holds
# the same values after the re-import and after the reg import as after the creation, and that it
# ends as it began. Runs in a Wine prefix of its own (build/wineprefix-console-bench), so it never
# touches the tests' store.
#   scripts/bench-console.sh [N]
#   scripts/bench-console.sh --bulk [N...]
# --bulk times the commands that work on many certificates in one run instead, for each N
# (default 1000 10000): seeds N certificates through one generated .reg file, then times "backup"
# (and "backup" of an empty store and its "restore", which are the S2K's own time and the
# process's), "restore" of it over the same store and into an emptied store (each must leave the
# store as seeded), "list",
# "list --format json", "export --all" into an empty folder, "verify --exact" of the files it
# wrote and "import FOLDER\*.crt" into an empty store, and checks that the store comes back
# exactly as it was.
set -euo pipefail
cd "$(dirname "$0")/.."
bulk=()
if [ "${1:-}" = --bulk ]; then
    shift
    bulk=("${@:-1000}")
    [ $# -gt 0 ] || bulk=(1000 10000)
fi
count="${1:-1000}"
scripts/setup.sh >/dev/null
scripts/build.sh wardkeepc >/dev/null
export WINEPREFIX="$PWD/build/wineprefix-console-bench" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree=;mshtml="
if [ ! -f "$WINEPREFIX/.wardkeep-ready" ]; then
    wineboot -i >/dev/null 2>&1
    wineserver -w
    touch "$WINEPREFIX/.wardkeep-ready"
fi
wineserver -p # one server for every run, as on a machine that is up
trap 'wineserver -k 2>/dev/null || true' EXIT
wardkeepc() { wine "$PWD/build/wardkeepc.exe" "$@"; }
dir=$(mktemp -d -p build bench-console.XXXXXX)
trap 'rm -rf "$dir"; wineserver -k 2>/dev/null || true' EXIT
wdir=$(winepath -w "$dir")
store() { # a checksum of both keys of the store, as the registry exports them
    for key in Users_lkw_20 Cookies_lkw_20; do
        wine reg export "HKLM\\SOFTWARE\\Lockwell\\$key" "$wdir\\$key.reg" /y /reg:32 \
            >/dev/null 2>&1 || echo "(no $key)" >"$dir/$key.reg"
        md5sum <"$dir/$key.reg"
    done
}
phase() { # name, then the command run once per certificate with $i set
    local name="$1" start end
    shift
    start=$(date +%s.%N)
    for ((i = 1; i <= count; i++)); do
        "$@" >/dev/null || { echo "$name: run $i failed with exit code $?" >&2; exit 1; }
    done
    end=$(date +%s.%N)
    printf '%-8s %5d runs  %7.1f s  %6.1f ms per run\n' "$name" "$count" "$(echo "$end - $start" | bc)" \
        "$(echo "($end - $start) * 1000 / $count" | bc -l)"
}
new() { printf 'password %d\npassword %d\n' "$i" "$i" | wardkeepc new "bench.user.$i" --password-stdin; }
export_one() { wardkeepc export "bench.user.$i" "$wdir\\$i.crt"; }
delete() { wardkeepc delete "bench.user.$i" --yes; }
import() { wardkeepc import "$wdir\\$i.crt"; }

# The prefix is the benchmark's own: what an interrupted run left there goes first.
empty_store() { wine reg delete 'HKLM\SOFTWARE\Lockwell' /f /reg:32 >/dev/null 2>&1 || true; }
empty_store
# seconds COMMAND...: runs COMMAND once and prints how long it took.
seconds() {
    local start end
    start=$(date +%s.%N)
    "$@" >/dev/null || { echo "$* failed with exit code $?" >&2; exit 1; }
    end=$(date +%s.%N)
    echo "$end - $start" | bc
}
if [ ${#bulk[@]} -gt 0 ]; then
    echo "wardkeepc export --all and import of many files, each one run, Wine $(wine --version 2>/dev/null | sed 's/wine-//'), $(nproc) cores"
    for n in "${bulk[@]}"; do
        # N certificates with 16-byte keys of their own, none with a zero byte (the store reads
        # a key up to its first one, as the product's keys never hold one).
        awk -v n="$n" 'BEGIN {
            srand(n); printf "Windows Registry Editor Version 5.00\r\n"
            split("Users_lkw_20 Cookies_lkw_20", keys, " ")
            for (k = 1; k <= 2; k++) {
                printf "\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Lockwell\\%s]\r\n", keys[k]
                for (i = 1; i <= n; i++) {
                    printf "\"bulk.user.%d\"=hex:", i
                    for (b = 0; b < 16; b++) printf "%s%02x", (b ? "," : ""), 1 + int(rand() * 255)
                    printf "\r\n"
                }
            }
        }' >"$dir/seed.reg"
        backup() { printf 'bench passphrase\n' | wardkeepc backup "$wdir\\$1" --passphrase-stdin --yes; }
        restore() { printf 'bench passphrase\n' | wardkeepc restore "$wdir\\$1" --passphrase-stdin --yes; }
        empty_store
        # The S2K and the process alone: a backup of an empty store, and its restore.
        backed_up_empty=$(seconds backup empty.pgp)
        restored_empty=$(seconds restore empty.pgp)
        wine reg import "$wdir\\seed.reg" /reg:32 >/dev/null 2>&1
        seeded=$(store)
        backed_up=$(seconds backup all-$n.pgp)
        restored_over=$(seconds restore all-$n.pgp) # over the same store: nothing to write
        [ "$(store)" = "$seeded" ] || { echo "the store after the restore over it changed" >&2; exit 1; }
        empty_store
        restored=$(seconds restore all-$n.pgp)
        [ "$(store)" = "$seeded" ] || { echo "the store after the restore differs from the seeded one" >&2; exit 1; }
        printf '%6d certificates  backup %6.2f s (of an empty store %6.2f s)  restore %6.2f s (over the same store %6.2f s, of an empty backup %6.2f s)\n' \
            "$n" "$backed_up" "$backed_up_empty" "$restored" "$restored_over" "$restored_empty"
        listed=$(seconds wardkeepc list)
        inventoried=$(seconds wardkeepc list --format json)
        [ "$(wardkeepc list --format json | grep -c '"userId"')" -eq "$n" ] || { echo "list --format json did not list $n certificates" >&2; exit 1; }
        exported=$(seconds wardkeepc export --all "$wdir\\all-$n")
        [ "$(find "$dir/all-$n" -name '*.crt' | wc -l)" -eq "$n" ] || { echo "export --all wrote no $n files" >&2; exit 1; }
        verified=$(seconds wardkeepc verify --exact "$wdir\\all-$n\\*.crt")
        printf '%6d certificates  list %6.2f s  list --format json %6.2f s  verify --exact %6.2f s\n' \
            "$n" "$listed" "$inventoried" "$verified"
        empty_store
        imported=$(seconds wardkeepc import "$wdir\\all-$n\\*.crt")
        [ "$(store)" = "$seeded" ] || { echo "the store after the import differs from the seeded one" >&2; exit 1; }
        printf '%6d certificates  export --all %6.2f s  import %6.2f s\n' "$n" "$exported" "$imported"
        empty_store
        rm -rf "${dir:?}/all-$n"
    done
    echo "After each import the store held exactly what was seeded."
    exit 0
fi
echo "wardkeepc on $count certificates, Wine $(wine --version 2>/dev/null | sed 's/wine-//'), $(nproc) cores"
before=$(wardkeepc list)
phase new new
created=$(store)
phase export export_one
phase delete delete
[ "$(wardkeepc list)" = "$before" ] || { echo "the store still holds certificates after the deletes" >&2; exit 1; }
phase import import
[ "$(store)" = "$created" ] || { echo "the re-imported store differs from the created one" >&2; exit 1; }

start=$(date +%s.%N)
wardkeepc reg "$wdir\\*.crt" -o "$wdir\\roll-out.reg" # a thousand names do not fit a command line
end=$(date +%s.%N)
printf 'reg      %5d files %7.2f s  (%d bytes)\n' "$count" "$(echo "$end - $start" | bc)" "$(stat -c %s "$dir/roll-out.reg")"
phase delete delete
start=$(date +%s.%N)
wine reg import "$wdir\\roll-out.reg" /reg:32 >/dev/null 2>&1
end=$(date +%s.%N)
printf 'reg import          %7.2f s\n' "$(echo "$end - $start" | bc)"
[ "$(store)" = "$created" ] || { echo "the store after reg import differs from the created one" >&2; exit 1; }
phase delete delete
[ "$(wardkeepc list)" = "$before" ] || { echo "the store did not end as it began" >&2; exit 1; }
echo "The store ends as it began; after the re-import and after reg import it held what was created."
