// Text across the code-page boundary. The system gives text as UTF-16; the store's value names
// and the keys' input are bytes of the ANSI code page. Every text a user typed or passed crosses
// here, once, and only exactly: a character the code page lacks is refused, never replaced by a
// look-alike ("best fit": a fullwidth "a" for "a") or by "?".
#pragma once

#include "Secret.h"
#include "Win32.h"

#include <string>
#include <string_view>

namespace fw {

// `text` in the ANSI code page, each character as its byte(s) there. False, leaving `ansi`
// empty, when a character has no exact equivalent in the code page or the text holds a zero
// character (which would cut the text short where the system reads it as a C string).
bool ToAnsi(std::wstring_view text, std::string& ansi);
bool ToAnsi(std::wstring_view text, Secret& ansi);

// What WideCharToMultiByte accepts for `codePage` to convert without best fit: UTF-8 takes only
// WC_ERR_INVALID_CHARS and no default character, and some code pages (UTF-7, the ISO-2022 ones,
// GB18030, ISCII, Symbol) take no flag at all; Windows refuses the others' flags for them with
// ERROR_INVALID_FLAGS (Wine does not). `saysDefault`: whether it can report that a character had
// no equivalent (otherwise a conversion is checked by converting back).
struct CodePageFlags {
    DWORD flags;
    bool saysDefault;
};
CodePageFlags NoBestFitFlags(UINT codePage);

// A message for a pipe or a file, in the ANSI code page: a character that the code page lacks is
// "?", never a look-alike. Works in every code page, UTF-8 included.
std::string MessageToAnsi(std::wstring_view text);

// `text` in capitals, as the registry compares value names and the file system file names: two
// names that give the same capitals are one.
std::wstring Capitals(std::wstring text);

// `text` in UTF-8; false, leaving `utf8` empty, for a surrogate without its partner or a zero
// character.
bool ToUtf8(std::wstring_view text, Secret& utf8);

// ANSI text as UTF-16, for showing it.
std::wstring FromAnsi(std::string_view ansi);

// Whether `ansi` is text of the ANSI code page: every byte sequence a character there. A name of
// other bytes (from a file made elsewhere) is read as another name by whatever converts it.
bool IsAnsiText(std::string_view ansi);

// A user ID as the console, the window and the event log show it: each control character (below
// 0x20, and 0x7F) as a backslash, a "u" and its code in four capital hex digits (a carriage
// return as "u000D" after the backslash), so that a name can neither rewrite a line on a console
// nor forge one in a log. Other bytes stay as they are.
std::string ShownUserId(std::string_view ansi);
// A user ID in a message: ShownUserId in double quotes.
std::string QuotedUserId(std::string_view ansi);
// A value name as the registry holds it (UTF-16), shown the same way; a character that the ANSI
// code page lacks is escaped too, so that a name is never shown as a look-alike of another.
std::wstring ShownName(std::wstring_view name);

// What the user is told when a text (`what`: "The password", "The user ID \"...\"") cannot be
// taken.
std::wstring NotInCodePageText(std::wstring_view what);
// ...and when it takes more than `maxBytes` bytes in the ANSI code page.
std::wstring TooLongText(std::wstring_view what, std::size_t maxBytes);

} // namespace fw
