#!/usr/bin/env bash
# Installs what building, running and testing Wardkeep needs on Debian 12, skipping the packages
# that are already there. Needs root when something is missing.
#   scripts/setup.sh [PACKAGE FILE]...   also a package that a script needs, known by a file of it
set -euo pipefail

missing=()
need() { # need <package> <file that the package provides>
    [ -e "$2" ] || missing+=("$1")
}
need cmake /usr/bin/cmake
need make /usr/bin/make
need g++-mingw-w64-x86-64-posix /usr/bin/x86_64-w64-mingw32-g++-posix
need binutils-mingw-w64-x86-64 /usr/bin/x86_64-w64-mingw32-windres
need mingw-w64-x86-64-dev /usr/x86_64-w64-mingw32/include/htmlhelp.h
need wine /usr/bin/wine
need wine64 /usr/lib/wine/wine64
need xvfb /usr/bin/xvfb-run
need xauth /usr/bin/xauth
need googletest /usr/src/googletest/CMakeLists.txt
# A UTF-8 locale that gives Wine the UTF-8 ANSI code page, for a test (tests/e2e/utf8-codepage.sh).
need locales /usr/share/i18n/locales/hi_IN
need util-linux /usr/bin/flock
need fp-utils /usr/bin/chmcmd
# The installer (its stubs come with nsis-common).
need nsis /usr/bin/makensis
# The MSI (msitools: msibuild, and msiextract, which unpacks it for scripts/check-signing.sh),
# and the zip.
need wixl /usr/bin/wixl
need msitools /usr/bin/msiextract
need zip /usr/bin/zip
# Signing the programs and packages (installer/sign.sh), with a .p12 or a key on a PKCS#11 token.
need osslsigncode /usr/bin/osslsigncode
need libengine-pkcs11-openssl /usr/lib/x86_64-linux-gnu/engines-3/pkcs11.so
# A software token for scripts/check-signing.sh, and pkcs11-tool to put a key on it.
need softhsm2 /usr/bin/softhsm2-util
need opensc /usr/bin/pkcs11-tool
# The native build of the portable code, under the sanitizers.
need clang /usr/bin/clang++
need libclang-rt-14-dev /usr/lib/llvm-14/lib/clang/14.0.6/lib/linux/libclang_rt.asan-x86_64.a
# The OpenPGP messages' tests and fuzzer: libcrypto as their cryptography, gpg as the peer.
need libssl-dev /usr/include/openssl/evp.h
need gnupg /usr/bin/gpg
while [ $# -ge 2 ]; do
    need "$1" "$2"
    shift 2
done

if [ ${#missing[@]} -eq 0 ]; then
    exit 0
fi
if [ "$(id -u)" -ne 0 ]; then
    echo "Missing packages: ${missing[*]}. Run this as root, or install them with apt-get." >&2
    exit 1
fi
echo "Installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq "${missing[@]}" >/dev/null
