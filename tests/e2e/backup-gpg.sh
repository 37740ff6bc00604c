#!/usr/bin/env bash
# A backup of the real wardkeepc.exe, opened without Wardkeep: Debian's gpg decrypts it (checking
# its modification detection code) and Wine's "reg import /reg:32" of the content gives back the
# same store, for user IDs that need care (a quote, a backslash, a Greek letter the ANSI code page
# lacks, the unnamed value) and keys of every length a store holds (none, 16 bytes, 127 bytes).
# Then what a backup refuses: a file that exists (without --yes), an empty passphrase. And restore:
# Wardkeep's backup and gpg's message of it restore the same store into an empty one, and over
# itself (nothing written) or another CookieKey (asked first); a name the
# code page lacks, a wrong passphrase, compression, a flipped byte, a cut and another hive are
# refused with nothing stored.
#   backup-gpg.sh RUNNER CONSOLE WORK-FOLDER
set -euo pipefail
runner=$1 console=$2 work=$3
fail() { echo "FAIL: $*" >&2; exit 1; }
wine_() { "$runner" "$@"; }
rm -rf "$work"
mkdir -p "$work/gnupg"
chmod 700 "$work/gnupg"
trap 'wine_ reg delete "HKLM\\SOFTWARE\\Lockwell" /f /reg:32 >/dev/null 2>&1 || true;
      gpgconf --homedir "$work/gnupg" --kill gpg-agent 2>/dev/null || true' EXIT
win() { wine_ winepath -w "$1" 2>/dev/null | tr -d '\r'; }

# The store, seeded through a UTF-16 .reg file as another tool would write it.
hex() { head -c "$1" /dev/zero | tr '\0' "\\$2" | od -An -v -tx1 | tr -s ' \n' ',' | sed 's/^,//; s/,$//'; }
{
    printf 'Windows Registry Editor Version 5.00\r\n'
    for key in Users_lkw_20 Cookies_lkw_20; do
        printf '\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Lockwell\\%s]\r\n' "$key"
        printf '"alice"=hex:%s\r\n' "$(hex 16 021)"
        printf '"q\\"uote\\\\back"=hex:%s\r\n' "$(hex 127 132)"
        printf '"\xce\xb1lice"=hex:01\r\n'
        printf '@=hex:\r\n'
    done
} | iconv -f UTF-8 -t UTF-16LE | { printf '\xff\xfe'; cat; } >"$work/seed.reg"
wine_ reg delete 'HKLM\SOFTWARE\Lockwell' /f /reg:32 >/dev/null 2>&1 || true
wine_ reg import "$(win "$work/seed.reg")" /reg:32 >/dev/null 2>&1 || fail "seeding the store"
snapshot() { # both keys as the registry exports them
    for key in Users_lkw_20 Cookies_lkw_20; do
        wine_ reg export "HKLM\\SOFTWARE\\Lockwell\\$key" "$(win "$work/$key.reg")" /y /reg:32 \
            >/dev/null 2>&1 || fail "exporting $key"
        md5sum <"$work/$key.reg"
    done
}
seeded=$(snapshot)

passphrase='Pässwörd €'
printf '%s\r\n' "$passphrase" | wine_ "$console" backup "$(win "$work/store.pgp")" \
    --passphrase-stdin >"$work/out.txt" || fail "backup: $(cat "$work/out.txt")"
grep -q 'Backed up 4 certificates to' "$work/out.txt" || fail "backup said: $(cat "$work/out.txt")"

printf '%s' "$passphrase" >"$work/passphrase"
gpg() { command gpg --homedir "$work/gnupg" --batch --yes --no-tty --pinentry-mode loopback \
    --no-symkey-cache "$@"; }
gpg --passphrase-file "$work/passphrase" --status-fd 3 -o "$work/store.reg" \
    --decrypt "$work/store.pgp" 3>"$work/status" 2>/dev/null || fail "gpg could not decrypt"
grep -q 'GOODMDC' "$work/status" || fail "no good modification detection code"
gpg --list-packets --passphrase-file "$work/passphrase" "$work/store.pgp" 2>/dev/null \
    >"$work/packets" || true
grep -q 'symkey enc packet: version 4, cipher 9, aead 0,s2k 3, hash 8' "$work/packets" ||
    fail "not AES-256 with an iterated and salted SHA-256 S2K: $(head -3 "$work/packets")"
printf 'wrong' >"$work/wrong"
if gpg --passphrase-file "$work/wrong" -o "$work/wrong.reg" --decrypt "$work/store.pgp" \
    2>/dev/null; then fail "gpg opened the backup with a wrong passphrase"; fi

wine_ reg delete 'HKLM\SOFTWARE\Lockwell' /f /reg:32 >/dev/null 2>&1
wine_ reg import "$(win "$work/store.reg")" /reg:32 >/dev/null 2>&1 || fail "reg import"
[ "$(snapshot)" = "$seeded" ] || fail "reg import of the backup gave another store"

# refused: exit code, standard error
refused() { # DESCRIPTION EXPECTED-MESSAGE INPUT ARGUMENTS...
    local what=$1 message=$2 input=$3
    shift 3
    if printf '%b' "$input" | wine_ "$console" backup "$@" >/dev/null 2>"$work/err.txt"; then
        fail "$what: the backup was made"
    fi
    grep -qF "$message" "$work/err.txt" || fail "$what: said [$(cat "$work/err.txt")]"
}
before=$(md5sum <"$work/store.pgp")
refused "an existing file" "exists. Nothing was written. --yes replaces it." 'pw\n' \
    "$(win "$work/store.pgp")" --passphrase-stdin
[ "$(md5sum <"$work/store.pgp")" = "$before" ] || fail "the existing file changed"
refused "an empty passphrase" "An empty passphrase" '\r\n' "$(win "$work/new.pgp")" \
    --passphrase-stdin
[ ! -e "$work/new.pgp" ] || fail "a refused backup left a file"
echo "gpg opened the backup and reg import restored the store exactly"

# ---- restore ----------------------------------------------------------------------------------
restore() { # INPUT ARGUMENTS...: standard output and error in out.txt and err.txt
    local input=$1
    shift
    printf '%b' "$input" | wine_ "$console" restore "$@" >"$work/out.txt" 2>"$work/err.txt"
}
empty_store() { wine_ reg delete 'HKLM\SOFTWARE\Lockwell' /f /reg:32 >/dev/null 2>&1 || true; }
refuses() { # DESCRIPTION MESSAGE FILE [PASSPHRASE]: refused, said, and nothing stored
    empty_store
    if restore "${4:-$passphrase}\n" "$(win "$3")" --passphrase-stdin --yes; then
        fail "$1: restored"
    fi
    grep -qF -- "$2" "$work/err.txt" || fail "$1: said [$(cat "$work/err.txt")]"
    if wine_ reg query 'HKLM\SOFTWARE\Lockwell\Users_lkw_20' /reg:32 >/dev/null 2>&1; then
        fail "$1: something was stored"
    fi
}
# A name the code page lacks cannot be stored exactly by Wardkeep: gpg and reg import can.
refuses "a name the code page lacks" "Restore this backup with gpg and reg import instead." \
    "$work/store.pgp"

# Without it, a backup restores into an empty store exactly.
wine_ reg import "$(win "$work/seed.reg")" /reg:32 >/dev/null 2>&1
for key in Users_lkw_20 Cookies_lkw_20; do
    wine_ reg delete "HKLM\\SOFTWARE\\Lockwell\\$key" /v "$(printf '\xce\xb1lice')" /f /reg:32 \
        >/dev/null 2>&1 || fail "deleting the Greek name"
done
latin=$(snapshot)
printf '%s\n' "$passphrase" | wine_ "$console" backup "$(win "$work/latin.pgp")" \
    --passphrase-stdin >/dev/null || fail "backup without the Greek name"
empty_store
restore "$passphrase\n" "$(win "$work/latin.pgp")" --passphrase-stdin ||
    fail "restore: $(cat "$work/err.txt")"
grep -q 'Imported 3 certificates: 3 new, 0 replaced, 0 unchanged.' "$work/out.txt" ||
    fail "restore said [$(cat "$work/out.txt")]"
[ "$(snapshot)" = "$latin" ] || fail "the restored store differs from the one backed up"
[ ! -s "$work/err.txt" ] || fail "restore wrote to standard error: $(cat "$work/err.txt")"

# Over the store it came from, a restore writes nothing; over another CookieKey it asks first,
# and with no console to ask on it stores nothing without --yes.
restore "$passphrase\n" "$(win "$work/latin.pgp")" --passphrase-stdin ||
    fail "restore over the same store: $(cat "$work/err.txt")"
grep -q 'Imported 3 certificates: 0 new, 0 replaced, 3 unchanged.' "$work/out.txt" ||
    fail "restore over the same store said [$(cat "$work/out.txt")]"
wine_ reg add 'HKLM\SOFTWARE\Lockwell\Cookies_lkw_20' /v alice /t REG_BINARY /d 0102 /f \
    /reg:32 >/dev/null 2>&1 || fail "changing a CookieKey"
changed=$(snapshot)
if restore "$passphrase\n" "$(win "$work/latin.pgp")" --passphrase-stdin; then
    fail "restore replaced a CookieKey without being asked"
fi
grep -qF 'Nothing was imported (it would replace the certificate of "alice"). Confirm with --yes.' \
    "$work/err.txt" ||
    fail "the refused restore said [$(cat "$work/err.txt")]"
[ "$(snapshot)" = "$changed" ] || fail "a refused restore changed the store"
restore "$passphrase\n" "$(win "$work/latin.pgp")" --passphrase-stdin --yes ||
    fail "restore --yes: $(cat "$work/err.txt")"
grep -q 'Imported 3 certificates: 0 new, 1 replaced, 2 unchanged.' "$work/out.txt" ||
    fail "restore --yes said [$(cat "$work/out.txt")]"
[ "$(snapshot)" = "$latin" ] || fail "restore --yes did not bring back the store backed up"

# A message that gpg made restores; what a restore must refuse is refused with nothing stored.
gpg --passphrase-file "$work/passphrase" -o "$work/latin.reg" --decrypt "$work/latin.pgp" \
    2>/dev/null
symmetric() { gpg --passphrase-file "$work/passphrase" --symmetric --cipher-algo AES256 "$@"; }
symmetric --compress-algo none -o "$work/by-gpg.pgp" "$work/latin.reg" 2>/dev/null
empty_store
restore "$passphrase\n" "$(win "$work/by-gpg.pgp")" --passphrase-stdin ||
    fail "restore of gpg's message: $(cat "$work/err.txt")"
[ "$(snapshot)" = "$latin" ] || fail "gpg's message restored another store"

refuses "a wrong passphrase" "does not open with this passphrase" "$work/by-gpg.pgp" 'wrong'
symmetric -o "$work/compressed.pgp" "$work/latin.reg" 2>/dev/null
refuses "a compressed message" "--compress-algo none" "$work/compressed.pgp"
cp "$work/latin.pgp" "$work/flipped.pgp"
size=$(stat -c %s "$work/flipped.pgp")
printf '\xff' | dd of="$work/flipped.pgp" bs=1 seek=$((size - 30)) conv=notrunc 2>/dev/null
refuses "a flipped byte" "integrity check fails" "$work/flipped.pgp"
head -c $((size - 7)) "$work/latin.pgp" >"$work/truncated.pgp"
refuses "a truncated message" "integrity check fails" "$work/truncated.pgp"
iconv -f UTF-16LE -t UTF-8 "$work/latin.reg" | sed 's/HKEY_LOCAL_MACHINE\\SOFTWARE\\Lockwell\\Cookies/HKEY_CURRENT_USER\\SOFTWARE\\Lockwell\\Cookies/' |
    iconv -f UTF-8 -t UTF-16LE >"$work/foreign.reg"
symmetric --compress-algo none -o "$work/foreign.pgp" "$work/foreign.reg" 2>/dev/null
refuses "another hive" "holds no backup of the store that can be restored" "$work/foreign.pgp"
echo "Passed: restore took Wardkeep's and gpg's backups and refused the rest, storing nothing"
