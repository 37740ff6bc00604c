#include "Certificates.h"

#include "Audit.h"
#include "CertificateStore.h"
#include "framework/Text.h"
#include "keys/KeyDerivation.h"

#include <optional>

namespace store {

namespace {

// `cookieKey` is called only once the UserKey is written.
template <class CookieKey>
SaveResult SaveKeys(fw::IReporter& reporter, const std::string& userId,
                    const keys::KeyBytes& userKey, CookieKey&& cookieKey) {
    if (!WriteKey(reporter, kUsersKey, userId, userKey)) {
        return SaveResult::UserKeyRefused;
    }
    return WriteKey(reporter, kCookiesKey, userId, cookieKey()) ? SaveResult::Saved
                                                                : SaveResult::CookieKeyRefused;
}

// Saved when there is nothing to check or the store still holds what `seen` saw; an exception
// while reading it is reported and writes nothing, as a refused write.
SaveResult CheckSeen(fw::IReporter& reporter, const StoreSnapshot* seen) {
    bool same = false;
    if (seen == nullptr) {
        return SaveResult::Saved;
    }
    if (!reporter.Guarded([&] { same = seen->StillHolds(); })) {
        return SaveResult::UserKeyRefused;
    }
    return same ? SaveResult::Saved : SaveResult::StoreChanged;
}

// What storing two keys does, by how the stored ones compare with them.
ImportOutcome Outcome(StoredKey users, StoredKey cookies) {
    if (users == StoredKey::Missing && cookies == StoredKey::Missing) {
        return ImportOutcome::New;
    }
    return users == StoredKey::Same && cookies == StoredKey::Same ? ImportOutcome::Unchanged
                                                                  : ImportOutcome::Replaced;
}

} // namespace

SaveResult SaveNewCertificate(fw::IReporter& reporter, const std::string& userId,
                              std::string_view password, std::string_view retypedPassword,
                              const StoreSnapshot* seen) {
    keys::KeyBytes userKey = keys::DeriveUserKey(userId, password, retypedPassword);
    // Checked last before the write: the registry has no lock to hold meanwhile.
    if (SaveResult unseen = CheckSeen(reporter, seen); unseen != SaveResult::Saved) {
        return unseen;
    }
    bool replaces = HasCertificate(reporter, userId, true);
    // The CookieKey comes from the time of the UserKey's write, not from the time of asking.
    SaveResult result = SaveKeys(reporter, userId, userKey, [] { return keys::DeriveCookieKey(); });
    if (result == SaveResult::Saved) {
        Audit(reporter, replaces ? AuditEvent::CertificateReplaced : AuditEvent::CertificateCreated,
              userId);
    }
    return result;
}

bool NewCertificateReplaces(fw::IReporter& reporter, const std::string& userId) {
    return HasCertificate(reporter, userId, true);
}

const char kReplaceQuestionCaption[] = "Replace Certificate";

std::string ReplaceQuestionText(const std::string& userId) {
    return "The store already holds a certificate " + fw::QuotedUserId(userId) +
           ".\nReplacing it gives it a new CookieKey: files encrypted under the certificate "
           "can no longer be decrypted once it is replaced.\n\nReplace it?";
}

ImportOutcome CompareImport(fw::IReporter& reporter, const std::string& userId,
                            const keys::KeyBytes& userKey, const keys::KeyBytes& cookieKey) {
    return Outcome(CompareStoredKey(reporter, kUsersKey, userId, userKey),
                   CompareStoredKey(reporter, kCookiesKey, userId, cookieKey));
}

SaveResult SaveCertificate(fw::IReporter& reporter, const std::string& userId,
                           const keys::KeyBytes& userKey, const keys::KeyBytes& cookieKey,
                           ImportOutcome* outcome, const StoreSnapshot* seen) {
    if (SaveResult unseen = CheckSeen(reporter, seen); unseen != SaveResult::Saved) {
        return unseen;
    }
    ImportOutcome before = CompareImport(reporter, userId, userKey, cookieKey);
    SaveResult result = SaveKeys(reporter, userId, userKey, [&] { return cookieKey; });
    if (result == SaveResult::Saved && before != ImportOutcome::Unchanged) {
        Audit(reporter,
              before == ImportOutcome::New ? AuditEvent::CertificateImported
                                           : AuditEvent::CertificateImportReplaced,
              userId);
    }
    if (outcome != nullptr) {
        *outcome = before;
    }
    return result;
}

bool ImportReplacesCookieKey(const StoreSnapshot& seen, const std::string& userId,
                             const keys::KeyBytes& cookieKey) {
    return seen.Compare(kCookiesKey, userId, cookieKey) == StoredKey::Differs;
}

ImportOutcome CompareImport(const StoreSnapshot& seen, const std::string& userId,
                            const keys::KeyBytes& userKey, const keys::KeyBytes& cookieKey,
                            bool* exact) {
    bool exactUsers = false;
    bool exactCookies = false;
    StoredKey users = seen.Compare(kUsersKey, userId, userKey, &exactUsers);
    StoredKey cookies = seen.Compare(kCookiesKey, userId, cookieKey, &exactCookies);
    if (exact != nullptr) {
        *exact = exactUsers && exactCookies;
    }
    return Outcome(users, cookies);
}

BulkSave SaveCertificates(fw::IReporter& reporter,
                          const std::vector<exchange::RegCertificate>& certificates,
                          const StoreSnapshot& seen) {
    BulkSave save;
    std::vector<ImportOutcome> outcomes;
    std::vector<bool> writes;
    bool writing = false;
    outcomes.reserve(certificates.size());
    for (const exchange::RegCertificate& certificate : certificates) {
        bool exact = false;
        outcomes.push_back(CompareImport(seen, certificate.userId, certificate.userKey,
                                         certificate.cookieKey, &exact));
        writes.push_back(!exact);
        writing = writing || !exact;
    }
    // Every write changes what the snapshot saw: the store is checked once, before the first.
    if (writing || !seen.Taken()) {
        if (SaveResult unseen = CheckSeen(reporter, &seen); unseen != SaveResult::Saved) {
            save.result = unseen;
            return save;
        }
    }
    for (std::size_t i = 0; i < certificates.size(); ++i) {
        const exchange::RegCertificate& certificate = certificates[i];
        if (writes[i]) {
            save.result = SaveKeys(reporter, certificate.userId, certificate.userKey,
                                   [&] { return certificate.cookieKey; });
            if (save.result != SaveResult::Saved) {
                save.stopped = i;
                return save;
            }
            if (outcomes[i] != ImportOutcome::Unchanged) {
                Audit(reporter,
                      outcomes[i] == ImportOutcome::New ? AuditEvent::CertificateImported
                                                        : AuditEvent::CertificateImportReplaced,
                      certificate.userId);
            }
        }
        ++save.counts[static_cast<int>(outcomes[i])];
    }
    return save;
}

std::string CertificateNotSavedText(const std::string& userId, SaveResult result) {
    std::string text = "The certificate of " + fw::QuotedUserId(userId) + " was not saved";
    if (result == SaveResult::StoreChanged) {
        return text + ": another program changed the store after you were asked.\nNothing was "
                      "changed. Look at the store as it is now and try again.";
    }
    text += result == SaveResult::CookieKeyRefused
                ? " completely: its UserKey was written, but the registry refused its "
                  "CookieKey.\nTry again, or delete the incomplete certificate."
                : ": the registry refused its UserKey.\nNothing was changed.";
    return text;
}

PasswordCheck CheckPassword(fw::IReporter& reporter, const std::string& userId,
                            std::string_view oldPassword) {
    std::optional<keys::KeyBytes> stored = ReadKeyReported(reporter, kUsersKey, userId);
    keys::KeyBytes expected = keys::DeriveUserKey(userId, oldPassword, oldPassword);
    if (!stored) {
        return PasswordCheck::NoUserKey;
    }
    if (*stored == expected) {
        return PasswordCheck::Matches;
    }
    Audit(reporter, AuditEvent::WrongOldPassword, userId);
    return PasswordCheck::Wrong;
}

bool SaveNewPassword(fw::IReporter& reporter, const std::string& userId,
                     std::string_view newPassword, std::string_view retypedNewPassword) {
    bool written = WriteKey(reporter, kUsersKey, userId,
                            keys::DeriveUserKey(userId, newPassword, retypedNewPassword));
    if (written) {
        Audit(reporter, AuditEvent::PasswordChanged, userId);
    }
    return written;
}

std::string PasswordNotSavedText(const std::string& userId) {
    return "The new password of " + fw::QuotedUserId(userId) +
           " was not saved: the registry refused the new UserKey.\n"
           "The old password is still valid.";
}

} // namespace store
