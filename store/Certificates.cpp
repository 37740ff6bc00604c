#include "Certificates.h"

#include "CertificateStore.h"
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

} // namespace

SaveResult SaveNewCertificate(fw::IReporter& reporter, const std::string& userId,
                              const std::string& password, const std::string& retypedPassword) {
    // The CookieKey comes from the time of the UserKey's write, not from the time of asking.
    return SaveKeys(reporter, userId, keys::DeriveUserKey(userId, password, retypedPassword),
                    [] { return keys::DeriveCookieKey(); });
}

SaveResult SaveCertificate(fw::IReporter& reporter, const std::string& userId,
                           const keys::KeyBytes& userKey, const keys::KeyBytes& cookieKey) {
    return SaveKeys(reporter, userId, userKey, [&] { return cookieKey; });
}

std::string CertificateNotSavedText(const std::string& userId, SaveResult result) {
    std::string text = "The certificate of \"" + userId + "\" was not saved";
    text += result == SaveResult::CookieKeyRefused
                ? " completely: its UserKey was written, but the registry refused its "
                  "CookieKey.\nTry again, or delete the incomplete certificate."
                : ": the registry refused its UserKey.\nNothing was changed.";
    return text;
}

PasswordCheck CheckPassword(fw::IReporter& reporter, const std::string& userId,
                            const std::string& oldPassword) {
    std::optional<keys::KeyBytes> stored = ReadKeyReported(reporter, kUsersKey, userId);
    keys::KeyBytes expected = keys::DeriveUserKey(userId, oldPassword, oldPassword);
    if (!stored) {
        return PasswordCheck::NoUserKey;
    }
    return *stored == expected ? PasswordCheck::Matches : PasswordCheck::Wrong;
}

bool SaveNewPassword(fw::IReporter& reporter, const std::string& userId,
                     const std::string& newPassword, const std::string& retypedNewPassword) {
    return WriteKey(reporter, kUsersKey, userId,
                    keys::DeriveUserKey(userId, newPassword, retypedNewPassword));
}

std::string PasswordNotSavedText(const std::string& userId) {
    return "The new password of \"" + userId +
           "\" was not saved: the registry refused the new UserKey.\n"
           "The old password is still valid.";
}

} // namespace store
