#!/usr/bin/env bash
# The audit events of the real wardkeepc.exe, end to end. Wine's event log stores nothing, but
# RUNNER runs the program with Wine's event log channel on (WINEDEBUG), which prints each event
# on standard error: its type and ID (the advapi fixme of ReportEventW) and then its inserts, one
# line each. Every change leaves exactly its event, a refused password its warning, and a delete
# of nothing no event.
#   audit-eventlog.sh RUNNER CONSOLE
set -euo pipefail
runner=$1 console=$2
user=audit-e2e-user
fail() { echo "FAIL: $*" >&2; exit 1; }
trap '"$runner" "$console" delete "$user" --yes >/dev/null 2>&1 || true' EXIT

# events COMMAND...: the events that the console program leaves, one line each:
# "<type> <ID> <user ID> | <account> | <program>".
events() {
    local input=$1
    shift
    printf '%b' "$input" | "$runner" "$console" "$@" 2>&1 >/dev/null | tr -d '\r' | awk '
        /fixme:advapi:ReportEventW \(/ { split($0, f, ","); event = f[2] " " f[4]; n = 0; next }
        /:eventlog:ReportEventW L"/ {
            sub(/.*ReportEventW L"/, ""); sub(/"$/, "")
            event = event (n++ ? " | " : " ") $0
            if (n == 3) print event
        }'
}
# expect DESCRIPTION EXPECTED ACTUAL
expect() { [ "$2" = "$3" ] || fail "$1: expected [$2], got [$3]"; }

program='wardkeepc.exe (console program)'
account=$(events 'pw\npw\n' new "$user" --password-stdin --yes | sed -n 's/^[^|]*| \(.*\) |.*$/\1/p')
[[ $account == *\\\\* ]] || fail "the account is not DOMAIN\\name: [$account]"
line() { echo "$1 $2 $user | $account | $program"; }

expect "new over it" "$(line 0x0004 0x000003e9)" "$(events 'pw\npw\n' new "$user" --password-stdin --yes)"
expect "a wrong old password" "$(line 0x0002 0x000007d0)" \
    "$(events 'guess\nnew\nnew\n' passwd "$user" --password-stdin || true)"
expect "passwd" "$(line 0x0004 0x000003ea)" "$(events 'pw\nnew\nnew\n' passwd "$user" --password-stdin)"
expect "delete" "$(line 0x0004 0x000003eb)" "$(events '' delete "$user" --yes)"
expect "a delete of nothing" "" "$(events '' delete "$user" --yes || true)"
echo "Passed: every change left its event, as $account"
