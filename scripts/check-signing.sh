#!/usr/bin/env bash
# Signs the packages through scripts/package.sh with a throw-away CA's code-signing certificates,
# first from a .p12 file, then from a key on a private SoftHSM token, and checks the Authenticode
# signature of every file Wardkeep ships: the setup program and the MSI, the programs as the zip,
# the MSI and the installed setup carry them, and the NSIS uninstaller (the setup program is
# installed silently on the second Wine machine, build/wineprefix-second, and uninstalled again).
# Also checks that a changed byte breaks a signature, and that the password was on no command line
# of signing (nor in osslsigncode's environment). Whatever happens, it ends by building the
# packages again unsigned, and leaves nothing outside its temporary folder, which it removes.
set -euo pipefail
# Wine wants a display, even for a silent install: a private one when there is none.
if [ -z "${DISPLAY:-}" ]; then
    exec xvfb-run -a -s "-screen 0 1024x768x24" "$0" "$@"
fi
cd "$(dirname "$0")/.."

fail() { echo "FAIL: $*" >&2; exit 1; }
step() { echo "[${SECONDS}s] $*"; }
# quiet COMMAND...: runs COMMAND, showing its output only when it fails.
quiet() { "$@" >"$tmp/log" 2>&1 || { cat "$tmp/log" >&2; fail "$*"; }; }

# second COMMAND...: runs a Windows program on the second Wine machine. The Start-menu entries
# that Wine would make in the home folder for the installer's shortcut go to the temporary folder.
second() {
    XDG_DATA_HOME="$tmp/xdg" XDG_CONFIG_HOME="$tmp/xdg" "$PWD/build/wine-run-second.sh" "$@"
}
# Waits for the second machine's Wine session to end, which would otherwise outlive its display.
second_ended() { WINEPREFIX=$PWD/build/wineprefix-second wineserver -w; }
module=/usr/lib/softhsm/libsofthsm2.so
install_dir_win='C:\Program Files\Wardkeep'
install_dir=''

# Uninstalls what the setup program installed, if it is there, as tests/installer does: in place
# (_?=), through a batch file, since Wine would quote an _?= that holds a space.
uninstall_wardkeep() {
    [ -n "$install_dir" ] && [ -e "$install_dir/Uninstall.exe" ] || return 0
    printf '@"%s\\Uninstall.exe" /S _?=%s\r\n@exit /b %%errorlevel%%\r\n' \
        "$install_dir_win" "$install_dir_win" >"$tmp/uninstall.bat"
    second cmd /c "$(second winepath -w "$tmp/uninstall.bat")" || return 1
    # Run in place, the uninstaller cannot delete itself.
    rm -f "$install_dir/Uninstall.exe"
    rmdir "$install_dir"
    second_ended
}
finish() {
    local status=$?
    set +e
    uninstall_wardkeep || { echo "FAIL: could not uninstall Wardkeep" >&2; status=1; }
    rm -rf "$tmp"
    step "Building the packages again, unsigned"
    scripts/package.sh >/dev/null || status=1
    exit "$status"
}
tmp=$(mktemp -d)
trap finish EXIT
trap 'exit 1' HUP INT TERM

# verify FILE SIGNER: FILE carries a valid signature by the certificate named SIGNER, issued by
# the test CA.
verify() {
    [ -f "$1" ] || fail "no file $1"
    osslsigncode verify -CAfile "$tmp/ca.pem" -in "$1" >"$tmp/verify.log" 2>&1 ||
        { cat "$tmp/verify.log" >&2; fail "no valid signature on $1"; }
    grep -qF "Subject: /CN=$2" "$tmp/verify.log" || fail "$1 is not signed by $2"
    local shown=${1#"$tmp/"}
    echo "  signed by $2: ${shown#"$PWD/"}"
}

# package SIGNER OPTION...: builds the packages with the signing options through an osslsigncode
# that notes any process up from it whose command line holds the password; checks each package
# and what the zip and the MSI carry.
package() {
    local signer=$1 name file
    shift
    rm -f "$tmp/calls" "$tmp/leaks"
    PATH="$tmp/bin:$PATH" quiet scripts/package.sh "$@"
    [ -s "$tmp/calls" ] || fail "the build never ran osslsigncode"
    [ ! -e "$tmp/leaks" ] || fail "the password was on a command line: $(cat "$tmp/leaks")"
    version=$(sed -n 's/^CMAKE_PROJECT_VERSION:[A-Z]*=//p' build/CMakeCache.txt)
    setup_exe=$PWD/build/dist/wardkeep-$version-setup.exe
    msi=$PWD/build/dist/wardkeep-$version-x64.msi
    zip=$PWD/build/dist/wardkeep-$version.zip
    rm -rf "$tmp/zip" "$tmp/msi"
    mkdir "$tmp/zip" "$tmp/msi"
    (cd "$tmp/zip" && cmake -E tar xf "$zip")
    quiet msiextract -C "$tmp/msi" "$msi"
    verify "$setup_exe" "$signer"
    verify "$msi" "$signer"
    for name in wardkeep.exe wardkeepc.exe; do
        verify "$tmp/zip/Wardkeep/$name" "$signer"
        file=$(find "$tmp/msi" -type f -name "$name")
        verify "$file" "$signer"
    done
}

step "A throw-away CA, and its code-signing certificates for a .p12 and for a token"
quiet openssl req -x509 -newkey rsa:2048 -nodes -days 1 -subj "/CN=Wardkeep test CA" \
    -keyout "$tmp/ca.key" -out "$tmp/ca.pem"
for signer in p12 token; do
    quiet openssl req -x509 -newkey rsa:2048 -nodes -days 1 -subj "/CN=Wardkeep test $signer" \
        -CA "$tmp/ca.pem" -CAkey "$tmp/ca.key" -addext basicConstraints=critical,CA:FALSE \
        -addext keyUsage=critical,digitalSignature -addext extendedKeyUsage=codeSigning \
        -keyout "$tmp/$signer.key" -out "$tmp/$signer.pem"
done
# Random, so that no command line holds it by chance.
WARDKEEP_SIGN_PASSWORD="pw-$(od -An -tx1 -N12 /dev/urandom | tr -d ' \n')"
export WARDKEEP_SIGN_PASSWORD
printf '%s' "$WARDKEEP_SIGN_PASSWORD" >"$tmp/password"
quiet openssl pkcs12 -export -inkey "$tmp/p12.key" -in "$tmp/p12.pem" -out "$tmp/signer.p12" \
    -passout env:WARDKEEP_SIGN_PASSWORD

mkdir "$tmp/bin"
cat >"$tmp/bin/osslsigncode" <<'EOF'
#!/usr/bin/env bash
# osslsigncode as the build runs it: notes the call, and every process from this one (whose
# command line is osslsigncode's) up whose command line holds the password, or a password left
# in the environment; then runs the real one.
set -euo pipefail
scratch=${0%/bin/osslsigncode}
echo "$*" >>"$scratch/calls"
pid=$$
while [ "$pid" -gt 1 ]; do
    if grep -qaF -f "$scratch/password" "/proc/$pid/cmdline"; then
        { tr '\0' ' ' <"/proc/$pid/cmdline"; echo; } >>"$scratch/leaks"
    fi
    pid=$(awk '$1 == "PPid:" { print $2 }' "/proc/$pid/status")
done
[ -z "${WARDKEEP_SIGN_PASSWORD+set}" ] || echo "WARDKEEP_SIGN_PASSWORD in osslsigncode's environment" >>"$scratch/leaks"
PATH=${PATH#"$scratch/bin:"} exec osslsigncode "$@"
EOF
chmod +x "$tmp/bin/osslsigncode"

step "Signed with a .p12: the packages and what the zip and the MSI carry"
package "Wardkeep test p12" --sign-pkcs12 "$tmp/signer.p12"

step "A copy of a signed program with one byte of its code changed fails verification"
cp "$tmp/zip/Wardkeep/wardkeep.exe" "$tmp/changed.exe"
offset=$(($(stat -c %s "$tmp/changed.exe") / 2))
byte=$(od -An -tu1 -j "$offset" -N1 "$tmp/changed.exe")
# shellcheck disable=SC2059 # the format is the changed byte, as an octal escape
printf "\\$(printf %03o $((byte ^ 0xff)))" |
    dd of="$tmp/changed.exe" bs=1 seek="$offset" conv=notrunc status=none
if osslsigncode verify -CAfile "$tmp/ca.pem" -in "$tmp/changed.exe" >"$tmp/verify.log" 2>&1; then
    fail "the changed copy still verifies"
fi
grep -q MISMATCH "$tmp/verify.log" || { cat "$tmp/verify.log" >&2; fail "no digest mismatch found"; }

step "The setup program installs signed programs and a signed uninstaller (second Wine machine)"
second_ended
install_dir=$(second winepath -u "$install_dir_win" | tr -d '\r')
install_dir=${install_dir%/}
second "$setup_exe" /S || fail "the setup program exited with $?"
for name in wardkeep.exe wardkeepc.exe Uninstall.exe; do
    verify "$install_dir/$name" "Wardkeep test p12"
done
uninstall_wardkeep || fail "the uninstaller exited with $?"

step "Signed with a key and its certificate on a SoftHSM token"
export SOFTHSM2_CONF="$tmp/softhsm2.conf"
mkdir "$tmp/tokens"
printf 'directories.tokendir = %s\nobjectstore.backend = file\nlog.level = ERROR\n' \
    "$tmp/tokens" >"$SOFTHSM2_CONF"
# The token's own set-up takes the PIN on its command line: these runs end before any signing.
quiet softhsm2-util --init-token --free --label wardkeep-test \
    --pin "$WARDKEEP_SIGN_PASSWORD" --so-pin "$WARDKEEP_SIGN_PASSWORD"
quiet openssl pkey -in "$tmp/token.key" -outform der -out "$tmp/token.key.der"
quiet openssl x509 -in "$tmp/token.pem" -outform der -out "$tmp/token.der"
for object in privkey:token.key.der cert:token.der; do
    quiet pkcs11-tool --module "$module" --token-label wardkeep-test --login \
        --pin "$WARDKEEP_SIGN_PASSWORD" --write-object "$tmp/${object#*:}" \
        --type "${object%%:*}" --id 01 --label signing
done
# The certificate is found on the token, beside the key.
package "Wardkeep test token" --sign-pkcs11-module "$module" \
    --sign-pkcs11-key 'pkcs11:token=wardkeep-test;object=signing;type=private'

step "Passed"
