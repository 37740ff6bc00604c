// The certificate store: two keys under HKEY_LOCAL_MACHINE, each holding one REG_BINARY value
// per certificate, named by the user ID. The store keeps no state: every operation opens the
// key it needs, works, and closes it. Operations that run on behalf of a dialog report
// exceptions raised inside them through that dialog's OnException and then carry on as told.
#pragma once

#include "framework/Dialog.h"

#include <string>
#include <vector>

namespace store {

// A key as stored: a byte string that contains no zero byte.
using KeyBytes = std::string;

// The keys as the dialogs and the exchange commands name them.
extern const char kUsersKey[];   // "Software\Lockwell\Users_lkw_20"
extern const char kCookiesKey[]; // "Software\Lockwell\Cookies_lkw_20"

// Longest user ID that the list and the delete command handle, in characters.
constexpr int kMaxListedUserIdChars = 127;

// Creates `keyPath` if needed and sets value `userId` to the bytes of `key`. Failures are not
// reported; an exception is reported on behalf of `dialog` and WriteKey then returns.
void WriteKey(fw::CDialog& dialog, const char* keyPath, const std::string& userId,
              const KeyBytes& key);

// Reads value `userId` (at most 128 bytes) up to its first zero byte. On failure tells the user,
// in a box owned by `owner`, "User Keys Not Found" (key) or "User Not Found" (value), and
// returns the empty key. An exception is reported through `owner` and handled as a missing key.
KeyBytes ReadKeyReported(fw::CDialog& owner, const char* keyPath, const std::string& userId);

// Reads value `userId` (at most 16 bytes) up to its first zero byte; the empty key on any
// failure, silently. An exception is reported on behalf of `dialog`.
KeyBytes ReadKeyQuiet(fw::CDialog& dialog, const char* keyPath, const std::string& userId);

// Deletes value `userId` from the Users key, then from the Cookies key. Nothing is reported.
void DeleteCertificate(const std::string& userId);

// The names of the REG_BINARY values of the Users key, in the registry's enumeration order.
// A value whose name exceeds 127 characters or whose data exceeds 128 bytes is skipped. An
// exception is reported on behalf of `dialog`; the names read before it are returned.
std::vector<std::string> ListUserIds(fw::CDialog& dialog);

} // namespace store
