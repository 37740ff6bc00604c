#!/usr/bin/env bash
# Installs the setup program silently on a private Wine machine that holds two certificates and
# an earlier install in a folder of the user's choice, asking for that folder again (and, before,
# refusing to install beside the Windows Installer package); checks that
# it installs into Program Files all the same and removes the earlier copy, checks the installed
# files, the Start-menu shortcut and the Add/Remove Programs entry, runs the registered quiet
# uninstall, and checks that everything installed is gone and the certificates are untouched.
# Also checks the portable zip. Leaves the machine as it found it.
#
# install-uninstall.sh RUNNER PREFIX VERSION SETUP_EXE ZIP MSI STAGE CMAKE
#   RUNNER runs a Windows program in the Wine prefix PREFIX; STAGE holds the files that the
#   packages must carry (STAGE/Wardkeep/wardkeep.exe...); CMAKE unpacks the zip.
set -euo pipefail

runner=$1 prefix=$2 version=$3 setup_exe=$4 portable_zip=$5 msi=$6 stage=$7 cmake=$8
# shellcheck source-path=SCRIPTDIR source=machine.sh
source "$(dirname "$0")/machine.sh"

elsewhere_dir="$prefix/drive_c/Wardkeep-elsewhere"
elsewhere_dir_win='C:\Wardkeep-elsewhere'
shortcut="$prefix/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Wardkeep.lnk"
uninstall_key="$uninstall_root\\Wardkeep"

# Runs an uninstall command line and waits for it. Started as it is, an NSIS uninstaller copies
# itself to the temporary folder, starts the copy and returns at once; with _?=<folder> it runs
# in place, and we wait for it. Wine would quote an argument that holds a space, and NSIS does
# not recognise a quoted _?=, so the command line goes through a batch file, as written.
uninstall() {
    local batch="$scratch/uninstall.bat"
    printf '@%s _?=%s\r\n@exit /b %%errorlevel%%\r\n' "$1" "$install_dir_win" >"$batch"
    "$runner" cmd /c "$(windows_path "$batch")"
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
    "$runner" msiexec /x "$(windows_path "$msi")" /qn >/dev/null 2>&1
    remove_wardkeep
    rm -rf "$elsewhere_dir"
    "$runner" reg delete "$uninstall_key" /f /reg:64 >/dev/null 2>&1
    remove_test_certificates
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
for file in wardkeep.exe wardkeepc.exe wardkeep.chm; do
    cmp "$scratch/zip/Wardkeep/$file" "$stage/Wardkeep/$file"
done

step "A machine with two certificates and no Wardkeep"
if [ -e "$install_dir" ]; then
    echo "Wardkeep is still installed from an earlier run: uninstalling it first"
    remove_wardkeep
fi
seed_certificates

step "Beside the Windows Installer package, the setup program installs nothing"
"$runner" msiexec /i "$(windows_path "$msi")" /qn || fail "msiexec /i exited with $?"
same_files "$stage/Wardkeep"
status=0
"$runner" "$setup_exe" /S || status=$?
[ $status -eq 3 ] || fail "the setup program exited with $status beside the MSI"
[ ! -e "$install_dir/Uninstall.exe" ] || fail "the setup program installed its uninstaller"
if "$runner" reg query "$uninstall_key" /reg:64 >/dev/null 2>&1; then
    fail "the setup program wrote $uninstall_key"
fi
"$runner" msiexec /x "$(windows_path "$msi")" /qn || fail "msiexec /x exited with $?"
[ ! -e "$install_dir" ] || fail "msiexec /x left $(files_in "$install_dir")"

step "An earlier version installed in $elsewhere_dir_win"
mkdir -p "$elsewhere_dir"
cp "$stage"/Wardkeep/* "$elsewhere_dir"
touch "$elsewhere_dir/Uninstall.exe"
"$runner" reg add "$uninstall_key" /v InstallLocation /d "$elsewhere_dir_win" /f /reg:64 >/dev/null

step "Silent install of $(basename "$setup_exe"), asking for $elsewhere_dir_win"
"$runner" "$setup_exe" /S "/D=$elsewhere_dir_win" || fail "the installer exited with $?"
[ ! -e "$elsewhere_dir" ] || fail "the earlier install is still there: $(files_in "$elsewhere_dir")"

step "The programs, the help and the uninstaller are in $install_dir_win"
installed=$(files_in "$install_dir")
[ "$installed" = "Uninstall.exe wardkeep.chm wardkeep.exe wardkeepc.exe " ] || fail "installed: $installed"
same_files "$stage/Wardkeep"

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

step "The audit trail's event source names the installed program"
event_source_registered

step "The registered quiet uninstall"
uninstall "$quiet_uninstall" || fail "the uninstaller exited with $?"

step "The programs, the help, the shortcut and the Add/Remove Programs entry are gone"
# All but the uninstaller itself, which the waiting caller deletes (see cleanup).
if [ -d "$install_dir" ]; then
    left=$(files_in "$install_dir")
    [ "$left" = "Uninstall.exe " ] || fail "left in $install_dir_win: $left"
fi
[ ! -e "$shortcut" ] || fail "the shortcut is still there"
no_event_source
if "$runner" reg query "$uninstall_key" /reg:64 >/dev/null 2>&1; then
    fail "$uninstall_key is still there"
fi

step "The certificates are still there, unchanged"
check_store_unchanged

step "Passed"
