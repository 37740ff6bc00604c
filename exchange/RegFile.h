// The registry file (".reg") that rolls certificates out to many machines at once, with
// "reg import FILE /reg:32", regedit or Group Policy: the store's two values per certificate, as
// the registry editor's text. Portable: no Windows headers, so it also builds natively.
//
// Layout (every line ends with CR LF):
//     Windows Registry Editor Version 5.00
//     <empty line>
//     [HKEY_LOCAL_MACHINE\SOFTWARE\Lockwell\Users_lkw_20]
//     "<user ID>"=hex:<UserKey's bytes: lowercase hex pairs, comma-separated>
//     ...one line per certificate
//     <empty line>
//     [HKEY_LOCAL_MACHINE\SOFTWARE\Lockwell\Cookies_lkw_20]
//     "<user ID>"=hex:<CookieKey's bytes>
//     ...
//
// The text is in the ANSI code page, without a byte order mark: the importing machine reads a
// user ID's bytes through its code page, as RegSetValueExA does with the bytes that the product
// stores under. In the name, a backslash is written "\\" and a double quote "\""; the empty user
// ID is the key's unnamed value, "@". An empty key is "hex:", a zero-length value. In the
// double-byte code pages (Japanese, Chinese, Korean) a character's second byte may be 0x5C, the
// backslash's byte: the importer reads the file as characters of its code page before it looks
// for escapes, so such a byte is written as it is when the caller says which bytes start a
// double-byte character.
//
// The key paths name no registry view: the importer's view decides. On 64-bit Windows the file
// belongs in the 32-bit view, where the Lockwell programs look: "reg import FILE /reg:32", or the
// 32-bit registry editor (%windir%\SysWOW64\regedit.exe); the 64-bit one writes the 64-bit view.
#pragma once

#include "framework/Secret.h"
#include "keys/KeyBytes.h"

#include <string>
#include <string_view>
#include <vector>

namespace exchange {

struct RegCertificate {
    std::string userId;
    keys::KeyBytes userKey;
    keys::KeyBytes cookieKey;
};

// Whether a byte is the first of a double-byte character in the ANSI code page.
using LeadBytePredicate = bool (*)(unsigned char byte);

// Whether a user ID can be a value name in a registry file: false when it holds a CR or LF
// (either ends the line) or a zero byte (the importer reads the lines as C strings), or, given the
// code page's first bytes, a first byte without a second byte of 0x40 or above after it.
bool IsRegValueName(std::string_view userId, LeadBytePredicate isLeadByte = nullptr);

// The whole file for these certificates, in their order. A user ID given twice gets a line for
// each in both keys; the import sets the values line by line, so the last certificate wins, as
// importing the certificate files one after the other would (and so for user IDs that differ in
// letter case only, which the registry takes for one value name). Throws a framework exception
// when a user ID fails IsRegValueName: such a name would end its line, and what follows would be
// read as lines of the file. The text holds the keys: it is wiped when given up.
fw::Secret MakeRegFile(const std::vector<RegCertificate>& certificates,
                       LeadBytePredicate isLeadByte = nullptr);

// A value of one of the store's keys, named exactly as the registry holds it (UTF-16).
struct RegValue16 {
    std::u16string name;
    fw::Secret data; // the value's bytes, as stored
};

// Whether a value name can stand in a registry file: no CR or LF (either ends the line) and no
// zero character.
bool IsRegValueName16(std::u16string_view name);

// The whole file for the store's two keys, as "reg export" writes one: UTF-16LE with a byte order
// mark, every value of `users` under the Users key and of `cookies` under the Cookies key, in
// their order, as "hex:" values. Unlike MakeRegFile's text, it holds any name the registry can
// hold, whatever the importing machine's code page. Throws a framework exception for a name that
// fails IsRegValueName16. The text holds the keys: it is wiped when given up.
fw::Secret MakeUnicodeRegFile(const std::vector<RegValue16>& users,
                              const std::vector<RegValue16>& cookies);

} // namespace exchange
