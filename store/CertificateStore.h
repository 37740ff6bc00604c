// The certificate store: two keys under HKEY_LOCAL_MACHINE, each holding one REG_BINARY value
// per certificate, named by the user ID. The store keeps no state: every operation opens the
// key it needs, works, and closes it. Operations run on behalf of a reporter (a dialog, in the
// window program), which shows the messages they give and reports exceptions raised inside them;
// they then carry on as told.
//
// The keys live in the registry's 32-bit view, where the product's other programs, all 32-bit,
// read them: on 64-bit Windows that is HKLM\SOFTWARE\WOW6432Node\Lockwell.
#pragma once

#include "framework/Reporter.h"
#include "keys/KeyBytes.h"

#include <optional>
#include <string>
#include <vector>

namespace store {

using keys::KeyBytes;

// The keys as the dialogs and the exchange commands name them.
extern const char kUsersKey[];   // "Software\Lockwell\Users_lkw_20"
extern const char kCookiesKey[]; // "Software\Lockwell\Cookies_lkw_20"

// Longest user ID that the list and the delete command handle, in characters.
constexpr int kMaxListedUserIdChars = 127;

// While alive, the store's two keys stay open: many certificates read or written in a row then
// need no walk of the registry path each (under Wine, most of a bulk import's time). Nested
// sessions share the first one's keys.
class BulkSession {
  public:
    BulkSession();
    ~BulkSession();
    BulkSession(const BulkSession&) = delete;
    BulkSession& operator=(const BulkSession&) = delete;

  private:
    bool m_owner = false;
};

// Creates `keyPath` if needed and sets value `userId` to the bytes of `key`. Returns whether the
// value was written; an exception is reported through `reporter` and counts as a failure.
bool WriteKey(fw::IReporter& reporter, const char* keyPath, const std::string& userId,
              const KeyBytes& key);

// Reads value `userId` (at most 128 bytes, any type) up to its first zero byte. On failure tells
// the user through `reporter` "User Keys Not Found" (key) or "User Not Found" (value, or one
// longer than 128 bytes) and returns nothing. An exception is reported through `reporter` and
// handled as a missing key.
std::optional<KeyBytes> ReadKeyReported(fw::IReporter& reporter, const char* keyPath,
                                        const std::string& userId);

// Reads value `userId` (at most 16 bytes, any type) up to its first zero byte; nothing on any
// failure, silently (a stored empty key is read as the empty key). An exception is reported
// through `reporter`.
std::optional<KeyBytes> ReadKeyQuiet(fw::IReporter& reporter, const char* keyPath,
                                     const std::string& userId);

// Whether value `userId` exists in the Users key or the Cookies key, whatever its type or size:
// what a delete removes. An exception is reported through `reporter` and gives `onException`.
bool HasCertificate(fw::IReporter& reporter, const std::string& userId, bool onException = false);

// Whether value `userId` of `keyPath` holds data other than `key` (compared up to its first zero
// byte, whatever its type or length): what storing `key` there would lose. False when there is no
// such value. A value that cannot be read, or an exception (reported through `reporter`), counts
// as differing.
bool StoredKeyDiffers(fw::IReporter& reporter, const char* keyPath, const std::string& userId,
                      const KeyBytes& key);

// How value `userId` of `keyPath` compares with `key`, as StoredKeyDiffers compares.
enum class StoredKey { Missing, Same, Differs };
StoredKey CompareStoredKey(fw::IReporter& reporter, const char* keyPath, const std::string& userId,
                           const KeyBytes& key);

// Deletes value `userId` from the Users key, then from the Cookies key, and leaves the event when
// either was there. Nothing else is reported.
void DeleteCertificate(fw::IReporter& reporter, const std::string& userId);

// The names of the REG_BINARY values of the Users key, in the registry's enumeration order.
// A value whose name exceeds 127 characters or whose data exceeds 128 bytes is skipped. An
// exception is reported through `reporter`; the names read before it are returned.
std::vector<std::string> ListUserIds(fw::IReporter& reporter);

} // namespace store
