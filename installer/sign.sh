#!/usr/bin/env bash
# Signs a Windows program, an NSIS setup program or an MSI in place with an Authenticode signature
# (SHA-256), through osslsigncode. The build calls it on every file it ships; with no signing
# variable set it does nothing, and the build stays unsigned.
#   installer/sign.sh FILE DESCRIPTION
#
# Configured by the environment only, with one of two kinds of key:
#   WARDKEEP_SIGN_PKCS12         a .p12/.pfx file holding the code-signing certificate and its key
# or
#   WARDKEEP_SIGN_PKCS11_MODULE  a PKCS#11 module, e.g. /usr/lib/softhsm/libsofthsm2.so
#   WARDKEEP_SIGN_PKCS11_KEY     the PKCS#11 URI of the private key, e.g.
#                                pkcs11:token=Wardkeep;object=signing;type=private
#   WARDKEEP_SIGN_PKCS11_CERT    optional: the certificate, as a file (PEM or DER) or a PKCS#11
#                                URI; by default the one on the token under the key's URI with
#                                type=cert (the same token, label and ID)
# and for both:
#   WARDKEEP_SIGN_TIMESTAMP      optional: the URL of an RFC 3161 time-stamp server
#   WARDKEEP_SIGN_PASSWORD       the .p12's password (unset or empty: a .p12 without one) or the
#                                token's PIN (required). It reaches osslsigncode through a pipe on
#                                its standard input, never on a command line or in its environment.
# An empty variable counts as unset. A failure is a non-zero exit and leaves FILE as it was.
set -euo pipefail

fail() { echo "sign.sh: $*" >&2; exit 1; }

[ $# -eq 2 ] || fail "usage: installer/sign.sh FILE DESCRIPTION"
file=$1 description=$2

pkcs12=${WARDKEEP_SIGN_PKCS12:-}
module=${WARDKEEP_SIGN_PKCS11_MODULE:-}
key=${WARDKEEP_SIGN_PKCS11_KEY:-}
cert=${WARDKEEP_SIGN_PKCS11_CERT:-}
timestamp=${WARDKEEP_SIGN_TIMESTAMP:-}
password=${WARDKEEP_SIGN_PASSWORD:-}
# Kept in this shell alone: no program started from here gets it in its environment.
unset WARDKEEP_SIGN_PASSWORD

if [ -z "$pkcs12$module$key$cert" ]; then
    [ -z "$timestamp" ] ||
        fail "WARDKEEP_SIGN_TIMESTAMP is set, but no key: set WARDKEEP_SIGN_PKCS12, or WARDKEEP_SIGN_PKCS11_MODULE and WARDKEEP_SIGN_PKCS11_KEY"
    exit 0
fi
[ -f "$file" ] || fail "no file $file"
if [ ! -w "$file" ] || [ ! -w "$(dirname "$file")" ]; then
    fail "cannot replace $file"
fi
command -v osslsigncode >/dev/null || fail "osslsigncode not found (scripts/setup.sh installs it)"

# The PIN belongs in WARDKEEP_SIGN_PASSWORD: in a URI it would be on osslsigncode's command line.
check_uri() { # check_uri VARIABLE URI
    case $2 in
    pkcs11:*pin-value=*) fail "$1 holds a PIN (pin-value): give it in WARDKEEP_SIGN_PASSWORD" ;;
    pkcs11:*) ;;
    *) fail "$1 is no PKCS#11 URI (pkcs11:...): $2" ;;
    esac
}
# cert_uri URI: the URI of the certificate stored beside the key URI names, the same attributes
# with type=cert in place of its type (the query after ? is kept as it is).
cert_uri() {
    local path=${1#pkcs11:} query='' attribute out='' attributes
    if [[ $path == *\?* ]]; then
        query="?${path#*\?}" path=${path%%\?*}
    fi
    IFS=';' read -ra attributes <<<"$path"
    for attribute in "${attributes[@]}"; do
        case $attribute in type=* | '') ;; *) out+="$attribute;" ;; esac
    done
    printf 'pkcs11:%stype=cert%s\n' "$out" "$query"
}
# The PKCS#11 engine of Debian's libengine-pkcs11-openssl, in the engines folder of the OpenSSL
# that osslsigncode runs with (the same libcrypto as the openssl command's).
find_engine() {
    local dir candidate
    dir=$(openssl version -e 2>/dev/null | sed -n 's/^ENGINESDIR: "\(.*\)"$/\1/p') || true
    for candidate in "$dir/pkcs11.so" /usr/lib/*/engines-3/pkcs11.so /usr/lib/engines-3/pkcs11.so; do
        if [ -f "$candidate" ]; then
            echo "$candidate"
            return
        fi
    done
    fail "no PKCS#11 engine for OpenSSL (install libengine-pkcs11-openssl; scripts/setup.sh does)"
}

arguments=(sign -h sha256 -n "$description")
if [ -n "$pkcs12" ]; then
    [ -z "$module$key$cert" ] ||
        fail "both WARDKEEP_SIGN_PKCS12 and WARDKEEP_SIGN_PKCS11_* are set: choose one kind of key"
    [ -r "$pkcs12" ] || fail "cannot read WARDKEEP_SIGN_PKCS12=$pkcs12"
    arguments+=(-pkcs12 "$pkcs12")
else
    [ -n "$module" ] || fail "WARDKEEP_SIGN_PKCS11_MODULE is not set: which PKCS#11 module holds the key?"
    [ -n "$key" ] || fail "WARDKEEP_SIGN_PKCS11_MODULE is set without WARDKEEP_SIGN_PKCS11_KEY, the URI of the key"
    [ -f "$module" ] || fail "no PKCS#11 module $module"
    [ -n "$password" ] || fail "WARDKEEP_SIGN_PASSWORD is not set: the token's PIN"
    check_uri WARDKEEP_SIGN_PKCS11_KEY "$key"
    arguments+=(-pkcs11engine "$(find_engine)" -pkcs11module "$module" -key "$key")
    if [ -z "$cert" ]; then
        arguments+=(-pkcs11cert "$(cert_uri "$key")")
    elif [[ $cert == pkcs11:* ]]; then
        check_uri WARDKEEP_SIGN_PKCS11_CERT "$cert"
        arguments+=(-pkcs11cert "$cert")
    else
        [ -r "$cert" ] || fail "cannot read WARDKEEP_SIGN_PKCS11_CERT=$cert"
        arguments+=(-certs "$cert")
    fi
fi
[ -z "$timestamp" ] || arguments+=(-ts "$timestamp")
# osslsigncode reads the password from its standard input; an empty one it would refuse.
[ -z "$password" ] || arguments+=(-readpass -)

# Signed into a private folder beside FILE (osslsigncode writes only a new file), then moved
# over it: FILE is either signed or untouched.
scratch=''
trap 'rm -rf "$scratch"' EXIT
trap 'exit 1' HUP INT TERM
scratch=$(mktemp -d "$(dirname "$file")/.$(basename "$file").signing.XXXXXX")
signed="$scratch/$(basename "$file")"
# printf is a shell builtin: the password is on no command line.
if ! log=$(printf '%s' "$password" | osslsigncode "${arguments[@]}" -in "$file" -out "$signed" 2>&1); then
    printf '%s\n' "$log" >&2
    fail "could not sign $file"
fi
chmod --reference="$file" "$signed"
mv -f "$signed" "$file"
echo "Signed $file"
