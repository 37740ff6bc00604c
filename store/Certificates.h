// What creating a certificate, changing its password and storing an imported one do to the
// store, for every front end alike: the window program's dialogs and the console program call
// these and only decide how to ask and how to tell. Each change, and each wrong old password,
// leaves its event in the event log (Audit.h).
#pragma once

#include "CertificateStore.h"
#include "exchange/RegFile.h"
#include "framework/Reporter.h"
#include "keys/KeyBytes.h"

#include <string>
#include <string_view>
#include <vector>

namespace store {

// How far storing a certificate's two keys got. The UserKey is written first; a CookieKey is only
// written along with its UserKey.
enum class SaveResult {
    Saved,
    UserKeyRefused,   // nothing was changed
    CookieKeyRefused, // the new UserKey stands beside the old CookieKey, or none
    StoreChanged,     // nothing was written: the store no longer held what the user was shown
};

// Writes the UserKey derived from the user ID and both passwords, then a CookieKey derived from
// the time of that write. Throws when the passwords are too long to derive a key from; a refused
// write is reported through `reporter` only when it raised an exception. With `seen`, writes only
// if the store still holds what it held when `seen` was taken (StoreChanged otherwise).
SaveResult SaveNewCertificate(fw::IReporter& reporter, const std::string& userId,
                              std::string_view password, std::string_view retypedPassword,
                              const StoreSnapshot* seen = nullptr);

// Whether storing a new certificate under `userId` would replace one: the store holds a Users or a
// Cookies value of that name (the registry matches names whatever their letter case). Replacing
// gives the certificate a new CookieKey, and the files encrypted under the old one are lost. An
// exception is reported through `reporter` and counts as replacing.
bool NewCertificateReplaces(fw::IReporter& reporter, const std::string& userId);

// The question asked before a certificate is replaced, in the window program.
std::string ReplaceQuestionText(const std::string& userId);
// Its caption.
extern const char kReplaceQuestionCaption[];

// What storing an imported certificate does to the store.
enum class ImportOutcome {
    New,       // no certificate of that user ID was there
    Replaced,  // one with other keys was
    Unchanged, // the same keys were
};
// Says it without changing anything; an exception is reported and counts as Replaced.
ImportOutcome CompareImport(fw::IReporter& reporter, const std::string& userId,
                            const keys::KeyBytes& userKey, const keys::KeyBytes& cookieKey);

// Writes a certificate's keys as they are, as an import does, and says in `outcome` (when given)
// what that did. With `seen`, as SaveNewCertificate.
SaveResult SaveCertificate(fw::IReporter& reporter, const std::string& userId,
                           const keys::KeyBytes& userKey, const keys::KeyBytes& cookieKey,
                           ImportOutcome* outcome = nullptr, const StoreSnapshot* seen = nullptr);

// Whether storing an imported certificate would lose a CookieKey: `seen` (a snapshot of
// `userId`) saw one under `userId` that is not `cookieKey`. Importing the same certificate again
// (after its password changed on another machine, say) loses nothing.
bool ImportReplacesCookieKey(const StoreSnapshot& seen, const std::string& userId,
                             const keys::KeyBytes& cookieKey);
// CompareImport as `seen` saw the store, without reading it; `exact` says whether it held both
// keys as they are (REG_BINARY, byte for byte), so that storing them would change nothing.
ImportOutcome CompareImport(const StoreSnapshot& seen, const std::string& userId,
                            const keys::KeyBytes& userKey, const keys::KeyBytes& cookieKey,
                            bool* exact = nullptr);

// How storing many certificates went.
struct BulkSave {
    SaveResult result = SaveResult::Saved;
    std::size_t counts[3] = {}; // of the certificates stored, by ImportOutcome
    std::size_t stopped = 0;    // when not Saved: the certificate it stopped at
};
// Stores imported certificates as SaveCertificate does, in their order, on what `seen` (a
// snapshot of all their user IDs) saw: that is what each one does, and the store is read again
// once, before the first write, to write nothing if another program changed it meanwhile
// (StoreChanged). A certificate that the store holds exactly is not written again; when none
// needs writing, nothing is read again. The registry has no lock: a change by another program
// during the writes is not seen. The user IDs must differ in more than letter case.
BulkSave SaveCertificates(fw::IReporter& reporter,
                          const std::vector<exchange::RegCertificate>& certificates,
                          const StoreSnapshot& seen);

// What the user is told when SaveNewCertificate or SaveCertificate did not return Saved.
std::string CertificateNotSavedText(const std::string& userId, SaveResult result);

enum class PasswordCheck {
    Matches,
    Wrong,
    // The UserKey could not be read (reported through the reporter): there is no password to
    // verify, and changing it would store half a certificate.
    NoUserKey,
};

// Whether `oldPassword` is the password of the certificate of `userId`.
PasswordCheck CheckPassword(fw::IReporter& reporter, const std::string& userId,
                            std::string_view oldPassword);

// Writes the UserKey derived from the new passwords; the CookieKey stays. Returns whether it was
// written. Throws as SaveNewCertificate does.
bool SaveNewPassword(fw::IReporter& reporter, const std::string& userId,
                     std::string_view newPassword, std::string_view retypedNewPassword);

// What the user is told when SaveNewPassword returned false.
std::string PasswordNotSavedText(const std::string& userId);

} // namespace store
