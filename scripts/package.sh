#!/usr/bin/env bash
# Builds the packages with one command: installs what is missing, builds Wardkeep and its help
# file, then the packages into build/dist/ (signed when asked), and prints where they are.
set -euo pipefail

usage() {
    cat <<'EOF'
Usage: scripts/package.sh [SIGNING]
Builds build/dist/wardkeep-<version>-setup.exe, -x64.msi and .zip (and SHA256SUMS), afresh.

Signing (Authenticode, SHA-256: the programs, the setup program, its uninstaller and the MSI):
  --sign-pkcs12 FILE            with the certificate and key of a .p12/.pfx file
  --sign-pkcs11-module MODULE   with a key on a PKCS#11 token: the module (a .so), and
  --sign-pkcs11-key URI         the key's PKCS#11 URI (pkcs11:token=...;object=...;type=private)
  --sign-pkcs11-cert CERT       the certificate: a file or a PKCS#11 URI (default: the one on
                                the token under the key's URI with type=cert)
  --timestamp URL               also time-stamp the signatures at this RFC 3161 server
The password of the .p12 (empty for one without a password) or the token's PIN is read from
the environment variable WARDKEEP_SIGN_PASSWORD only, never from the command line.
Without a signing option nothing is signed, whatever WARDKEEP_SIGN_* variables are set.
EOF
}

fail() { echo "package.sh: $*" >&2; exit 1; }
# absolute PATH: PATH as seen from the caller's folder, before this script changes folder.
absolute() { if [[ $1 == /* ]]; then echo "$1"; else echo "$PWD/$1"; fi; }

pkcs12='' module='' key='' cert='' timestamp=''
while [ $# -gt 0 ]; do
    case $1 in
    --sign-* | --timestamp)
        if [ $# -lt 2 ] || [ -z "$2" ]; then
            fail "$1 needs a value (see --help)"
        fi ;;&
    --help | -h) usage; exit 0 ;;
    --sign-pkcs12) pkcs12=$(absolute "$2"); shift ;;
    --sign-pkcs11-module) module=$(absolute "$2"); shift ;;
    --sign-pkcs11-key) key=$2; shift ;;
    --sign-pkcs11-cert) if [[ $2 == pkcs11:* ]]; then cert=$2; else cert=$(absolute "$2"); fi; shift ;;
    --timestamp) timestamp=$2; shift ;;
    *) fail "unknown argument $1 (see --help)" ;;
    esac
    shift
done

if [ -n "$pkcs12" ] && [ -n "$module$key$cert" ]; then
    fail "--sign-pkcs12 and --sign-pkcs11-* are two kinds of key: give one"
fi
if [ -n "$module$key$cert" ] && { [ -z "$module" ] || [ -z "$key" ]; }; then
    fail "signing with a token needs both --sign-pkcs11-module and --sign-pkcs11-key"
fi
if [ -n "$timestamp" ] && [ -z "$pkcs12$module" ]; then
    fail "--timestamp needs --sign-pkcs12 or --sign-pkcs11-module"
fi
for file in "$pkcs12" "$module" "$cert"; do
    if [ -n "$file" ] && [[ $file != pkcs11:* ]] && [ ! -r "$file" ]; then
        fail "cannot read $file"
    fi
done
if [ -n "$pkcs12$module" ] && [ -z "${WARDKEEP_SIGN_PASSWORD+set}" ]; then
    fail "set WARDKEEP_SIGN_PASSWORD to the password of the .p12 (empty if it has none) or the token's PIN"
fi
if [ -n "$module" ] && [ -z "$WARDKEEP_SIGN_PASSWORD" ]; then
    fail "WARDKEEP_SIGN_PASSWORD is empty: set it to the token's PIN"
fi

# The build signs by these (installer/sign.sh), and by nothing inherited.
while read -r variable; do
    [ "$variable" = WARDKEEP_SIGN_PASSWORD ] || unset "$variable"
done < <(compgen -e WARDKEEP_SIGN_ || true)
if [ -n "$pkcs12$module" ]; then
    [ -z "$pkcs12" ] || export WARDKEEP_SIGN_PKCS12=$pkcs12
    [ -z "$module" ] || export WARDKEEP_SIGN_PKCS11_MODULE=$module WARDKEEP_SIGN_PKCS11_KEY=$key
    [ -z "$cert" ] || export WARDKEEP_SIGN_PKCS11_CERT=$cert
    [ -z "$timestamp" ] || export WARDKEEP_SIGN_TIMESTAMP=$timestamp
else
    unset WARDKEEP_SIGN_PASSWORD
fi

cd "$(dirname "$0")/.."
scripts/setup.sh
# Staged and packaged afresh, so that every package is signed as asked here, or not at all.
rm -rf build/installer/stage build/dist
scripts/build.sh wardkeep_package
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:[A-Z]*=//p' build/CMakeCache.txt)
for package in "wardkeep-$version-setup.exe" "wardkeep-$version-x64.msi" "wardkeep-$version.zip"; do
    [ -f "build/dist/$package" ] || fail "not built: build/dist/$package"
done
# The packages and whatever comes with them (SHA256SUMS).
for file in build/dist/*; do
    echo "$PWD/$file"
done
