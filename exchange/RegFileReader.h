// The registry file of a backup, read back for "wardkeepc restore": strictly, so that what it
// accepts is exactly the store's two keys with a pair of values per certificate, and the restore
// can store all of it or refuse it before it stores anything. Portable: no Windows headers, so it
// also builds natively, where the sanitizers and the fuzzer run.
//
// What it reads:
//   - UTF-16LE with a byte order mark (MakeUnicodeRegFile, "reg export"), or text without one
//     (MakeRegFile, "wardkeepc reg"), whose bytes the caller's AnsiDecoder turns into UTF-16:
//     the ANSI code page on Windows. UTF-8 with a byte order mark, UTF-16BE and UTF-16 without
//     a byte order mark are refused, as the registry importer refuses them.
//   - The first line "Windows Registry Editor Version 5.00" ("REGEDIT4" too, without a byte
//     order mark), then lines ending in CR LF or LF (the last one may lack it). Blanks (spaces
//     and tabs) at the start of a line are skipped; empty lines and ";" comments are skipped.
//   - Key lines: only [HKEY_LOCAL_MACHINE\SOFTWARE\Lockwell\Users_lkw_20] and
//     [HKEY_LOCAL_MACHINE\SOFTWARE\Lockwell\Cookies_lkw_20], in any letter case (ASCII), each
//     of them at least once.
//   - Value lines under them: "name"=hex:xx,yy,... or @=hex:... for the unnamed value ("" names
//     it too), with \\ and \" as the only escapes in a name, two hex digits of either case per
//     byte, and a line that ends in a backslash continuing on the next (its leading blanks
//     skipped), as "reg export" breaks long values.
// A certificate is a name with a value under both keys: its UserKey under Users, its CookieKey
// under Cookies. Everything else is refused: another key (a subkey, another hive, a deletion),
// deleted values, other value types, names of kMaxUserIdChars + 1 characters or more or with a
// control character, a name twice in a key, a name in one key but not the other, keys of more than
// kMaxDecodedKeyBytes bytes or with a zero byte, and any line that is none of the above.
//
// Names compare without letter case, as the registry compares them, folded by a table that covers
// ASCII, Latin-1, Latin Extended-A, basic Greek and Cyrillic; letters outside it compare as they
// are, so names that Windows takes for one may read here as two: the Windows caller re-checks
// with the system's comparison before it stores anything.
#pragma once

#include "framework/Secret.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace exchange {

using Secret16 = fw::BasicSecret<char16_t>;

// The text of a file without a byte order mark, as UTF-16: on Windows the ANSI code page's
// conversion, as the registry importer reads such a file. It holds the keys: a Secret16.
using AnsiDecoder = Secret16 (*)(std::string_view bytes);

// One certificate of the file: its name as the Users key has it, and its two keys.
struct StoreCertificate {
    std::u16string name;
    fw::Secret userKey;
    fw::Secret cookieKey;
};

enum class RegFileStatus {
    Read,     // the file is read: `certificates`
    Encoding, // neither UTF-16LE with a byte order mark nor text without one that can be decoded
    Refused,  // a line that is not as above, or the keys do not pair up: `line`, `reason`
};

struct RegFileReading {
    RegFileStatus status = RegFileStatus::Refused;
    // The line that the file is refused at, from 1; the line after the last for what is missing.
    // 0 for the encoding.
    std::size_t line = 0;
    // What is wrong, for a message to the user, with the line number: "Line 7: ...".
    std::string reason;
    // In the Users key's order.
    std::vector<StoreCertificate> certificates;
};

// Reads a registry file's bytes. `decodeAnsi` decodes a file without a byte order mark; without
// it such a file is refused (Encoding).
RegFileReading ReadStoreRegFile(std::string_view bytes, AnsiDecoder decodeAnsi = nullptr);

} // namespace exchange
