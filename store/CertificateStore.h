// The certificate store: two keys under HKEY_LOCAL_MACHINE, each holding one REG_BINARY value
// per certificate, named by the user ID. The store keeps no state: every operation opens the
// key it needs, works, and closes it. Operations run on behalf of a reporter (a dialog, in the
// window program), which shows the messages they give and reports exceptions raised inside them;
// they then carry on as told.
//
// The keys live in the registry's 32-bit view, where the product's other programs, all 32-bit,
// read them: on 64-bit Windows that is HKLM\SOFTWARE\WOW6432Node\Lockwell.
#pragma once

#include "exchange/CertificateFile.h"
#include "framework/Reporter.h"
#include "keys/KeyBytes.h"

#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

namespace store {

using keys::KeyBytes;

// The keys as the dialogs and the exchange commands name them.
extern const char kUsersKey[];   // "Software\Lockwell\Users_lkw_20"
extern const char kCookiesKey[]; // "Software\Lockwell\Cookies_lkw_20"

// Longest user ID that the list and the delete command handle, in characters: the one a
// certificate file carries.
constexpr int kMaxListedUserIdChars = static_cast<int>(exchange::kMaxUserIdChars);

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

// Longest key that a certificate file carries, in bytes: the most that the store's keys are read
// for export, so that whatever an import stored can be exported again.
constexpr unsigned kMaxKeyBytes = static_cast<unsigned>(exchange::kMaxDecodedKeyBytes);

// How reading one key went.
enum class KeyRead {
    Read,    // the key is there, at most kMaxKeyBytes bytes
    Absent,  // no such value (or no such key)
    TooLong, // more than kMaxKeyBytes bytes
    Failed,  // any other failure, or an exception (reported)
};
// Reads value `userId` (any type) up to its first zero byte into `key`, which is left alone
// unless the key was read. Nothing is shown; an exception is reported through `reporter`.
KeyRead ReadKey(fw::IReporter& reporter, const char* keyPath, const std::string& userId,
                KeyBytes& key);

// Reads value `userId` (at most kMaxKeyBytes bytes, any type) up to its first zero byte; nothing
// on any failure, silently (a stored empty key is read as the empty key). An exception is
// reported through `reporter`.
std::optional<KeyBytes> ReadKeyQuiet(fw::IReporter& reporter, const char* keyPath,
                                     const std::string& userId);

// Whether value `userId` exists in the Users key or the Cookies key, whatever its type or size:
// what a delete removes. An exception is reported through `reporter` and gives `onException`.
bool HasCertificate(fw::IReporter& reporter, const std::string& userId, bool onException = false);

// How value `userId` of `keyPath` compares with `key`: Differs when it holds data other than `key`
// (compared up to its first zero byte, whatever its type or length), which storing `key` there
// would lose. A value that cannot be read, or an exception (reported through `reporter`), counts
// as differing.
enum class StoredKey { Missing, Same, Differs };
StoredKey CompareStoredKey(fw::IReporter& reporter, const char* keyPath, const std::string& userId,
                           const KeyBytes& key);

// Deletes value `userId` from the Users key, then from the Cookies key, and leaves the event when
// either was there. Nothing else is reported.
void DeleteCertificate(fw::IReporter& reporter, const std::string& userId);

// A certificate as the list shows it: the name of a REG_BINARY value of the Users key, read exactly
// as the registry holds it (UTF-16). The store's operations take user IDs in the ANSI code page;
// a name that the code page cannot hold is listed, shown escaped, but never turned into a
// look-alike that would address another certificate.
struct ListedUserId {
    std::wstring name;  // as the registry holds it
    std::string userId; // the same name in the ANSI code page, when `exact`
    bool exact = true;  // the code page holds the name: the store's operations can address it

    // How the console, the window and the event log show it (fw::ShownName).
    std::wstring Shown() const;
};

// The certificates of the Users key, in the registry's enumeration order. A value whose name
// exceeds 127 characters or whose data exceeds 128 bytes is skipped. An exception is reported
// through `reporter`; the names read before it are returned.
std::vector<ListedUserId> ListCertificates(fw::IReporter& reporter);

// The user IDs of ListCertificates that the store's operations can address (`exact`).
std::vector<std::string> ListUserIds(fw::IReporter& reporter);

// What the store holds under some user IDs, exactly (each one's Users and Cookies values: their
// type and data, or their absence), as a command saw it when it asked its question or decided
// that none was needed. The registry has no lock: before it writes, the command checks that the
// store still holds what it saw, and writes nothing if another program changed it meanwhile.
// It asks for each value by name, or, when the store holds at most twice as many values as there
// are user IDs (a bulk command), enumerates both keys once: fewer trips to the registry.
class StoreSnapshot {
  public:
    // Reads the values of `userIds` now. An exception is reported through `reporter`; a snapshot
    // that could not be taken never matches.
    StoreSnapshot(fw::IReporter& reporter, const std::vector<std::string>& userIds);
    ~StoreSnapshot();
    StoreSnapshot(StoreSnapshot&&) noexcept;
    StoreSnapshot& operator=(StoreSnapshot&&) noexcept;

    // Whether the store still holds exactly what it held: reads it again. Throws what the reading
    // throws.
    bool StillHolds() const;
    // The same; an exception is reported through `reporter` and counts as a change.
    bool StillHolds(fw::IReporter& reporter) const;

    // Whether the snapshot could be taken (else it never matches).
    bool Taken() const { return m_values != nullptr; }

    // How value `userId` (one of the snapshot's) of `keyPath` compared with `key` when the
    // snapshot was taken, as CompareStoredKey compares, without reading the store again; Differs
    // for a snapshot not taken. `exact`, when given, says whether the value was `key` itself as
    // REG_BINARY, so that writing `key` there again would change nothing.
    StoredKey Compare(const char* keyPath, const std::string& userId, const KeyBytes& key,
                      bool* exact = nullptr) const;

  private:
    struct Values;
    std::vector<std::string> m_userIds;
    std::unordered_map<std::string, std::size_t> m_index; // of each user ID in m_userIds
    std::unique_ptr<Values> m_values; // null when the snapshot could not be taken
};

} // namespace store
