#!/usr/bin/env bash
# The Windows Installer package on a private Wine machine that holds two certificates, as a
# deployment tool drives it: checks the package's tables, installs it with msiexec /qn, checks
# the files, the Start-menu shortcut, the Add/Remove Programs entry and the event source (and,
# before, refuses to install beside the setup program's install); installs the next version over
# it (one product remains, with the new files), refuses to go back to the older one, and removes
# everything with msiexec /x /qn. The certificates are unchanged after every step.
# Leaves the machine as it found it.
#
# msi-install-upgrade.sh RUNNER PREFIX VERSION MSI STAGE NEXT_VERSION NEXT_MSI NEXT_STAGE
#   RUNNER runs a Windows program in the Wine prefix PREFIX; MSI is the package of VERSION, which
#   must carry the files of STAGE/Wardkeep/; the NEXT_ ones are a later version's.
set -euo pipefail

runner=$1 prefix=$2 version=$3 msi=$4 stage=$5 next_version=$6 next_msi=$7 next_stage=$8
# shellcheck source-path=SCRIPTDIR source=machine.sh
source "$(dirname "$0")/machine.sh"

# Windows puts the shortcut of a per-machine package in the all-users Start menu; Wine's
# Windows Installer puts it in the installing user's.
shortcuts=(
    "$prefix/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Wardkeep.lnk"
    "$prefix/drive_c/users/$(id -un)/AppData/Roaming/Microsoft/Windows/Start Menu/Programs/Wardkeep.lnk"
)

# property PACKAGE NAME: a value of the package's Property table.
property() { msiinfo export "$1" Property | tr -d '\r' | sed -n "s/^$2\t//p"; }
# msiexec ARGUMENTS...: msiexec with logging, its log shown when it fails.
msiexec() {
    local status=0
    "$runner" msiexec "$@" /qn "/l*v" "$(windows_path "$scratch/msiexec.log")" || status=$?
    if [ $status -ne 0 ] && [ -z "${expect_failure:-}" ]; then
        iconv -f UTF-16LE -t UTF-8 "$scratch/msiexec.log" 2>/dev/null | tail -20 >&2 || true
        fail "msiexec $* exited with $status"
    fi
    return $status
}
# Add/Remove Programs entries whose DisplayName is Wardkeep, one key per line.
wardkeep_entries() {
    "$runner" reg query "$uninstall_root" /s /reg:64 2>/dev/null | tr -d '\r' |
        awk '/^HKEY_/ { key = $0 } /^    DisplayName    REG_SZ    Wardkeep$/ { print key }'
}

# installed VERSION CODE STAGE: Wardkeep VERSION, product CODE, is installed with STAGE's files,
# and is the only Wardkeep in Add/Remove Programs.
installed() {
    local entry shortcut found=''
    same_files "$3/Wardkeep"
    entry=$(values "$uninstall_root\\$2" 64) || fail "no Add/Remove Programs entry $2"
    [ "$(value_of "$entry" DisplayName)" = Wardkeep ] || fail "DisplayName: $entry"
    [ "$(value_of "$entry" DisplayVersion)" = "$1" ] || fail "DisplayVersion: $entry"
    [ "$(value_of "$entry" Publisher)" = Lockwell ] || fail "Publisher: $entry"
    [ "$(value_of "$entry" UninstallString)" = "MsiExec.exe /X$2" ] || fail "UninstallString: $entry"
    [ "$(wardkeep_entries | wc -l)" -eq 1 ] || fail "Add/Remove Programs lists: $(wardkeep_entries)"
    for shortcut in "${shortcuts[@]}"; do
        if [ -f "$shortcut" ]; then
            grep -qaF "$install_dir_win\\wardkeep.exe" "$shortcut" ||
                fail "the shortcut does not start $install_dir_win\\wardkeep.exe"
            found=$shortcut
        fi
    done
    [ -n "$found" ] || fail "no Start-menu shortcut"
    event_source_registered
    check_store_unchanged
}

cleanup() {
    set +e
    local package
    for package in "$next_msi" "$msi"; do
        expect_failure=yes msiexec /x "$(windows_path "$package")" >/dev/null 2>&1
    done
    "$runner" reg delete "$uninstall_root\\Wardkeep" /f /reg:64 >/dev/null 2>&1
    remove_test_certificates
    rm -rf "$scratch"
}
scratch=$(mktemp -d)
trap cleanup EXIT

step "The package's tables: one product line, per machine, 64-bit, the program's icon"
code=$(property "$msi" ProductCode)
next_code=$(property "$next_msi" ProductCode)
upgrade_code=$(property "$msi" UpgradeCode)
[ "$(property "$msi" ProductName)" = Wardkeep ] || fail "ProductName"
[ "$(property "$msi" Manufacturer)" = Lockwell ] || fail "Manufacturer"
[ "$(property "$msi" ProductVersion)" = "$version" ] || fail "ProductVersion"
[ "$(property "$msi" ALLUSERS)" = 1 ] || fail "not per machine"
[ "$(property "$msi" ARPPRODUCTICON)" = wardkeep.ico ] || fail "ARPPRODUCTICON"
# (msiinfo writes the table's streams into the working folder.)
(cd "$scratch" && msiinfo export "$msi" Icon) | grep -q '^wardkeep.ico' || fail "no icon in the Icon table"
msiinfo suminfo "$msi" | grep -qx 'Template: x64;1033' || fail "not a 64-bit package"
[ "$(property "$next_msi" UpgradeCode)" = "$upgrade_code" ] || fail "the next version's UpgradeCode"
[ "$next_code" != "$code" ] || fail "both versions have the product code $code"
# The package writes the event source's values and nothing else, so nothing in SOFTWARE\Lockwell.
written_keys=$(msiinfo export "$msi" Registry | tr -d '\r' | sed 1,3d | cut -f2,3 | sort -u)
[ "$written_keys" = $'2\tSYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\Wardkeep\\' ] ||
    fail "the package writes the registry: $written_keys"

step "A machine with two certificates and no Wardkeep"
[ ! -e "$install_dir" ] || fail "Wardkeep is already installed in $install_dir"
seed_certificates

step "Beside the setup program's install, the package installs nothing"
"$runner" reg add "$uninstall_root\\Wardkeep" /v InstallLocation /d "$install_dir_win" /f /reg:64 >/dev/null
status=0
expect_failure=yes msiexec /i "$(windows_path "$msi")" || status=$?
[ $status -ne 0 ] || fail "the package installed beside the setup program's install"
[ ! -e "$install_dir" ] || fail "the package installed $(files_in "$install_dir")"
"$runner" reg delete "$uninstall_root\\Wardkeep" /f /reg:64 >/dev/null

step "msiexec /i $(basename "$msi") /qn"
msiexec /i "$(windows_path "$msi")"
installed "$version" "$code" "$stage"

step "msiexec /i $(basename "$next_msi") /qn: the next version replaces it"
msiexec /i "$(windows_path "$next_msi")"
installed "$next_version" "$next_code" "$next_stage"
if values "$uninstall_root\\$code" 64 >/dev/null 2>&1; then
    fail "$version is still in Add/Remove Programs"
fi

step "msiexec /i $(basename "$msi") /qn: going back to the older version is refused"
status=0
expect_failure=yes msiexec /i "$(windows_path "$msi")" || status=$?
[ $status -ne 0 ] || fail "the older version installed over the newer"
installed "$next_version" "$next_code" "$next_stage"

step "msiexec /x $(basename "$next_msi") /qn removes everything it installed"
msiexec /x "$(windows_path "$next_msi")"
[ ! -e "$install_dir" ] || fail "left in $install_dir_win: $(files_in "$install_dir")"
for shortcut in "${shortcuts[@]}"; do
    [ ! -e "$shortcut" ] || fail "the shortcut is still there: $shortcut"
done
[ -z "$(wardkeep_entries)" ] || fail "Add/Remove Programs still lists $(wardkeep_entries)"
no_event_source

step "The certificates are still there, unchanged"
check_store_unchanged

step "Passed"
