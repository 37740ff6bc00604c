#!/usr/bin/env bash
# Installs the setup program silently on a private Wine machine that holds two certificates and
# an earlier install in a folder of the user's choice, asking for that folder again; checks that
# it installs into Program Files all the same and removes the earlier copy, checks the installed
# files, the Start-menu shortcut and the Add/Remove Programs entry, runs the registered quiet
# uninstall, and checks that everything installed is gone and both certificates are untouched.
# Also checks the portable zip. Leaves the machine as it found it.
#
# install-uninstall.sh RUNNER PREFIX VERSION SETUP_EXE ZIP PROGRAM HELP_FILE CMAKE CONSOLE
#   RUNNER runs a Windows program in the Wine prefix PREFIX; PROGRAM, HELP_FILE and CONSOLE (the
#   console program) are the built files that both packages must carry; CMAKE unpacks the zip.
set -euo pipefail

runner=$1 prefix=$2 version=$3 setup_exe=$4 portable_zip=$5 program=$6 help_file=$7 cmake=$8
console=$9

install_dir="$prefix/drive_c/Program Files/Wardkeep"
install_dir_win='C:\Program Files\Wardkeep'
elsewhere_dir="$prefix/drive_c/Wardkeep-elsewhere"
elsewhere_dir_win='C:\Wardkeep-elsewhere'
shortcut="$prefix/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Wardkeep.lnk"
uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Wardkeep'
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

# Runs an uninstall command line and waits for it. Started as it is, an NSIS uninstaller copies
# itself to the temporary folder, starts the copy and returns at once; with _?=<folder> it runs
# in place, and we wait for it. Wine would quote an argument that holds a space, and NSIS does
# not recognise a quoted _?=, so the command line goes through a batch file, as written.
uninstall() {
    local batch="$scratch/uninstall.bat"
    printf '@%s _?=%s\r\n@exit /b %%errorlevel%%\r\n' "$1" "$install_dir_win" >"$batch"
    "$runner" cmd /c "$("$runner" winepath -w "$batch")"
}

# Uninstalls Wardkeep if it is installed, as a caller that waits would, whatever the outcome.
remove_wardkeep() {
    if [ -e "$install_dir/Uninstall.exe" ]; then
        uninstall "\"$install_dir_win\\Uninstall.exe\" /S" >/dev/null 2>&1 || true
    fi
    # Run in place, the uninstaller cannot delete itself: the caller that waited does.
    rm -f "$install_dir/Uninstall.exe"
    [ ! -d "$install_dir" ] || rmdir "$install_dir" || true
}

# Whatever happens, the machine ends as it was: nothing installed, no test certificates.
cleanup() {
    set +e
    remove_wardkeep
    rm -rf "$elsewhere_dir"
    "$runner" reg delete "$uninstall_key" /f /reg:64 >/dev/null 2>&1
    for certificate in "${certificates[@]}"; do
        read -r user_id _ <<<"$certificate"
        for key in Users_lkw_20 Cookies_lkw_20; do
            "$runner" reg delete "$lockwell_key\\$key" /v "$user_id" /f /reg:32 >/dev/null 2>&1
        done
    done
    if [ "${lockwell_was_there:-yes}" = no ]; then
        "$runner" reg delete "$lockwell_key" /f /reg:32 >/dev/null 2>&1
    fi
    rm -rf "$scratch"
}
scratch=$(mktemp -d)
trap cleanup EXIT

step "The portable zip holds the programs and the help in a Wardkeep folder"
mkdir "$scratch/zip"
(cd "$scratch/zip" && "$cmake" -E tar xf "$portable_zip")
unpacked=$(cd "$scratch/zip" && find . -mindepth 1 | LC_ALL=C sort | tr '\n' ' ')
[ "$unpacked" = "./Wardkeep ./Wardkeep/wardkeep.chm ./Wardkeep/wardkeep.exe ./Wardkeep/wardkeepc.exe " ] ||
    fail "the zip holds: $unpacked"
cmp "$scratch/zip/Wardkeep/wardkeep.exe" "$program"
cmp "$scratch/zip/Wardkeep/wardkeep.chm" "$help_file"
cmp "$scratch/zip/Wardkeep/wardkeepc.exe" "$console"

step "A machine with two certificates and no Wardkeep"
if [ -e "$install_dir" ]; then
    echo "Wardkeep is still installed from an earlier run: uninstalling it first"
    remove_wardkeep
fi
lockwell_was_there=yes
"$runner" reg query "$lockwell_key" /reg:32 >/dev/null 2>&1 || lockwell_was_there=no
for certificate in "${certificates[@]}"; do
    read -r user_id user_key cookie_key <<<"$certificate"
    "$runner" reg add "$lockwell_key\\Users_lkw_20" /v "$user_id" /t REG_BINARY /d "$user_key" \
        /f /reg:32 >/dev/null
    "$runner" reg add "$lockwell_key\\Cookies_lkw_20" /v "$user_id" /t REG_BINARY \
        /d "$cookie_key" /f /reg:32 >/dev/null
done

step "An earlier version installed in $elsewhere_dir_win"
mkdir -p "$elsewhere_dir"
cp "$program" "$console" "$help_file" "$elsewhere_dir"
touch "$elsewhere_dir/Uninstall.exe"
"$runner" reg add "$uninstall_key" /v InstallLocation /d "$elsewhere_dir_win" /f /reg:64 >/dev/null

step "Silent install of $(basename "$setup_exe"), asking for $elsewhere_dir_win"
"$runner" "$setup_exe" /S "/D=$elsewhere_dir_win" || fail "the installer exited with $?"
[ ! -e "$elsewhere_dir" ] || fail "the earlier install is still there: $(files_in "$elsewhere_dir")"

step "The programs, the help and the uninstaller are in $install_dir_win"
installed=$(files_in "$install_dir")
[ "$installed" = "Uninstall.exe wardkeep.chm wardkeep.exe wardkeepc.exe " ] || fail "installed: $installed"
cmp "$install_dir/wardkeep.exe" "$program"
cmp "$install_dir/wardkeep.chm" "$help_file"
cmp "$install_dir/wardkeepc.exe" "$console"

step "An all-users Start-menu shortcut starts the installed program"
[ -f "$shortcut" ] || fail "no shortcut $shortcut"
grep -qaF "$install_dir_win\\wardkeep.exe" "$shortcut" ||
    fail "the shortcut does not start $install_dir_win\\wardkeep.exe"

step "Add/Remove Programs lists Wardkeep $version (64-bit registry view)"
entry=$(values "$uninstall_key" 64) || fail "no key $uninstall_key"
[ "$(value_of "$entry" DisplayName)" = Wardkeep ] || fail "DisplayName: $entry"
[ "$(value_of "$entry" DisplayVersion)" = "$version" ] || fail "DisplayVersion: $entry"
[ "$(value_of "$entry" Publisher)" = Lockwell ] || fail "Publisher: $entry"
[ "$(value_of "$entry" InstallLocation)" = "$install_dir_win" ] || fail "InstallLocation: $entry"
quiet_uninstall=$(value_of "$entry" QuietUninstallString)
[ "$quiet_uninstall" = "\"$install_dir_win\\Uninstall.exe\" /S" ] ||
    fail "QuietUninstallString: $quiet_uninstall"

step "The registered quiet uninstall"
uninstall "$quiet_uninstall" || fail "the uninstaller exited with $?"

step "The programs, the help, the shortcut and the Add/Remove Programs entry are gone"
# All but the uninstaller itself, which the waiting caller deletes (see cleanup).
if [ -d "$install_dir" ]; then
    left=$(files_in "$install_dir")
    [ "$left" = "Uninstall.exe " ] || fail "left in $install_dir_win: $left"
fi
[ ! -e "$shortcut" ] || fail "the shortcut is still there"
if "$runner" reg query "$uninstall_key" /reg:64 >/dev/null 2>&1; then
    fail "$uninstall_key is still there"
fi

step "Both certificates are still there, unchanged"
users=$(values "$lockwell_key\\Users_lkw_20" 32) || fail "the Users key is gone"
cookies=$(values "$lockwell_key\\Cookies_lkw_20" 32) || fail "the Cookies key is gone"
for certificate in "${certificates[@]}"; do
    read -r user_id user_key cookie_key <<<"$certificate"
    data=$(value_of "$users" "$user_id")
    [ "${data^^}" = "$user_key" ] || fail "$user_id: UserKey '$data'"
    data=$(value_of "$cookies" "$user_id")
    [ "${data^^}" = "$cookie_key" ] || fail "$user_id: CookieKey '$data'"
done

step "Passed"
