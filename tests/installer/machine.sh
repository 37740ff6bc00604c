# shellcheck shell=bash
# shellcheck disable=SC2034,SC2154 # the variables are the sourcing test's: runner and prefix in,
# the rest out.
# The private Wine machine that the package tests install on, sourced by them after setting
# runner (runs a Windows program there) and prefix (its Wine prefix): where Wardkeep installs,
# the certificates seeded there before each test, and the checks that every test shares.

# Wine makes menu entries in the home folder for the shortcuts that the installers make: here they
# go to the prefix.
export XDG_DATA_HOME="$prefix/xdg-data" XDG_CONFIG_HOME="$prefix/xdg-config"

install_dir="$prefix/drive_c/Program Files/Wardkeep"
install_dir_win='C:\Program Files\Wardkeep'
uninstall_root='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall'
lockwell_key='HKLM\SOFTWARE\Lockwell'
# User ID, UserKey, CookieKey: one full-length certificate, one with short keys.
certificates=(
    "installer-test-ada 3089A7888DB6B58521B11A18C45349E5 68A0B3E1ED931AF2834EBCE56D63197E"
    "installer-test-bob 5A17 C3"
)

fail() { echo "FAIL: $*" >&2; exit 1; }
step() { echo "[${SECONDS}s] $*"; }

# values KEY VIEW: reg query's listing of the key's values.
values() { "$runner" reg query "$1" "/reg:$2" | tr -d '\r'; }
# value_of LISTING NAME: the data of a value in such a listing.
value_of() { printf '%s\n' "$1" | sed -n "s/^    $2    REG_[A-Z_]*    //p"; }
# files_in DIR: the names in DIR, sorted, on one line.
files_in() { find "$1" -mindepth 1 -maxdepth 1 -printf '%f\n' | LC_ALL=C sort | tr '\n' ' '; }
# windows_path FILE: FILE as the Windows programs of the machine name it.
windows_path() { "$runner" winepath -w "$1" | tr -d '\r'; }

# The audit trail's event source, which both installers register for the installed program.
event_source_key='HKLM\SYSTEM\CurrentControlSet\Services\EventLog\Application\Wardkeep'
event_source_registered() {
    local entry
    entry=$(values "$event_source_key" 64) || fail "no event source $event_source_key"
    [ "$(value_of "$entry" EventMessageFile)" = "$install_dir_win\wardkeep.exe" ] ||
        fail "EventMessageFile: $entry"
    [ "$(value_of "$entry" TypesSupported)" = 0x7 ] || fail "TypesSupported: $entry"
}
no_event_source() {
    if "$runner" reg query "$event_source_key" /reg:64 >/dev/null 2>&1; then
        fail "$event_source_key is still there"
    fi
}

# same_files DIR: the installed programs and help are DIR's, byte for byte.
same_files() {
    local file
    for file in wardkeep.exe wardkeepc.exe wardkeep.chm; do
        cmp "$install_dir/$file" "$1/$file" || fail "installed $file is not $1/$file"
    done
}

# Everything under SOFTWARE\Lockwell, in both registry views.
lockwell_store() {
    local view
    for view in 32 64; do
        echo "view $view:"
        "$runner" reg query "$lockwell_key" /s "/reg:$view" 2>/dev/null | tr -d '\r' || true
    done
}

# Seeds the certificates in the 32-bit view, where the Lockwell programs keep them, and notes
# the whole store of both views, which no package may change.
seed_certificates() {
    lockwell_was_there=yes
    "$runner" reg query "$lockwell_key" /reg:32 >/dev/null 2>&1 || lockwell_was_there=no
    local certificate user_id user_key cookie_key
    for certificate in "${certificates[@]}"; do
        read -r user_id user_key cookie_key <<<"$certificate"
        "$runner" reg add "$lockwell_key\\Users_lkw_20" /v "$user_id" /t REG_BINARY \
            /d "$user_key" /f /reg:32 >/dev/null
        "$runner" reg add "$lockwell_key\\Cookies_lkw_20" /v "$user_id" /t REG_BINARY \
            /d "$cookie_key" /f /reg:32 >/dev/null
    done
    seeded_store=$(lockwell_store)
    printf '%s\n' "$seeded_store" | grep -q "installer-test-ada    REG_BINARY    ${certificates[0]##* }" ||
        fail "the certificates were not seeded: $seeded_store"
}

check_store_unchanged() {
    local now
    now=$(lockwell_store)
    [ "$now" = "$seeded_store" ] || fail "SOFTWARE\\Lockwell changed:
$(diff <(printf '%s\n' "$seeded_store") <(printf '%s\n' "$now"))"
}

# Removes the seeded certificates, and SOFTWARE\Lockwell if the test made it.
remove_test_certificates() {
    local certificate user_id key
    for certificate in "${certificates[@]}"; do
        read -r user_id _ <<<"$certificate"
        for key in Users_lkw_20 Cookies_lkw_20; do
            "$runner" reg delete "$lockwell_key\\$key" /v "$user_id" /f /reg:32 >/dev/null 2>&1
        done
    done
    if [ "${lockwell_was_there:-yes}" = no ]; then
        "$runner" reg delete "$lockwell_key" /f /reg:32 >/dev/null 2>&1
    fi
    return 0
}
