#!/usr/bin/env bash
# The real wardkeepc.exe on a machine whose ANSI code page is UTF-8 (65001, which Windows offers as
# a system-wide setting). Wine takes it from a UTF-8 locale of a language that has no ANSI code
# page of its own (Hindi), made here with localedef. Messages and user IDs reach a pipe as UTF-8,
# never lost or turned into "?", and the inventory stays ASCII.
#   utf8-codepage.sh RUNNER CONSOLE LOCALE-FOLDER
set -euo pipefail
runner=$1 console=$2 locales=$3
if [ ! -d "$locales/hi_IN.UTF-8" ]; then
    mkdir -p "$locales"
    localedef -i hi_IN -f UTF-8 "$locales/hi_IN.UTF-8"
fi
user='zürich€'
fail() { echo "FAIL: $*" >&2; exit 1; }
# The locale for Wine only: this script's own tools keep theirs.
wardkeepc() { LOCPATH=$locales LANG=hi_IN.UTF-8 LC_ALL=hi_IN.UTF-8 "$runner" "$console" "$@"; }
trap 'wardkeepc delete "$user" --yes >/dev/null 2>&1 || true' EXIT
# expect DESCRIPTION EXPECTED ACTUAL
expect() { [ "$2" = "$3" ] || fail "$1: expected [$2], got [$3]"; }

expect "new" "Stored the certificate of \"$user\"." \
    "$(printf 'pw\npw\n' | wardkeepc new "$user" --password-stdin | tr -d '\r')"
expect "list" "$user" "$(wardkeepc list | tr -d '\r' | grep -F "$user")"
expect "a message on standard error" "wardkeepc: \"ñobody€\" has no certificate." \
    "$( (wardkeepc delete 'ñobody€' --yes 2>&1 >/dev/null || true) | tr -d '\r')"
json=$(wardkeepc list --format json)
[[ $json == *'"userId": "z\u00FCrich\u20AC"'* ]] || fail "list --format json: [$json]"
[ -z "$(printf '%s' "$json" | LC_ALL=C tr -d '\000-\177')" ] || fail "list --format json is not ASCII"
expect "delete" "Deleted the certificate of \"$user\"." \
    "$(wardkeepc delete "$user" --yes | tr -d '\r')"
echo "wardkeepc in the UTF-8 code page: every message and user ID arrived as UTF-8"
