// The commands that make, change and remove a certificate: new, passwd, delete.
#include "Shared.h"

#include "exchange/CertificateFile.h"
#include "framework/Text.h"
#include "keys/KeyBytes.h"
#include "store/CertificateStore.h"
#include "store/Certificates.h"

namespace console {

int New(const Invocation& invocation, ConsoleIo& io) {
    std::string userId;
    if (!TakeUserId(invocation, 0, io, userId)) {
        return kUsageError;
    }
    if (exchange::HasControlCharacters(userId)) {
        io.Error("The user ID " + Quoted(userId) +
                 " holds a control character (a line break, a tab...), which would rewrite the "
                 "lines that show it. Nothing was stored.");
        return kFailed;
    }
    if (RefuseUnlessElevated(io)) {
        return kFailed;
    }
    const auto maxUserIdBytes = static_cast<std::size_t>(store::kMaxListedUserIdChars);
    if (userId.size() > maxUserIdBytes) {
        io.Error(fw::TooLongText(L"The user ID " + QuotedId(userId), maxUserIdBytes) +
                 L" Its certificate could never be listed.");
        return kFailed;
    }
    int failure = kFailed;
    auto passwords = ReadPasswords(
        invocation,
        {{L"Password: ", L"The password"}, {L"Retype password: ", L"The retyped password"}}, io,
        failure);
    if (!passwords) {
        return failure;
    }
    if ((*passwords)[0] != (*passwords)[1]) {
        io.Error("Passwords need to be identical! Nothing was stored for " + Quoted(userId) + ".");
        return kFailed;
    }
    store::StoreSnapshot seen(io, {userId});
    if (store::NewCertificateReplaces(io, userId)) {
        int answer = Confirm(invocation, io, ReplaceQuestion(userId),
                             L"Nothing was stored for " + QuotedId(userId) + L".");
        if (answer != kSucceeded) {
            return answer;
        }
    }
    store::SaveResult result = store::SaveResult::UserKeyRefused;
    if (!io.Guarded([&] {
            result = store::SaveNewCertificate(io, userId, (*passwords)[0].Get(),
                                               (*passwords)[1].Get(), &seen);
        })) {
        return kFailed;
    }
    if (result != store::SaveResult::Saved) {
        io.Error(store::CertificateNotSavedText(userId, result));
        return kFailed;
    }
    io.Out(L"Stored the certificate of " + QuotedId(userId) + L".\r\n");
    return kSucceeded;
}

int Passwd(const Invocation& invocation, ConsoleIo& io) {
    std::string userId;
    if (!TakeUserId(invocation, 0, io, userId)) {
        return kUsageError;
    }
    if (RefuseUnlessElevated(io)) {
        return kFailed;
    }
    int failure = kFailed;
    auto passwords = ReadPasswords(invocation,
                                   {{L"Old password: ", L"The old password"},
                                    {L"New password: ", L"The new password"},
                                    {L"Retype new password: ", L"The retyped new password"}},
                                   io, failure);
    if (!passwords) {
        return failure;
    }
    bool saved = false;
    bool done = io.Guarded([&] {
        switch (store::CheckPassword(io, userId, (*passwords)[0].Get())) {
        case store::PasswordCheck::NoUserKey:
            io.Error(Quoted(userId) + " has no certificate. Nothing was changed.");
            return;
        case store::PasswordCheck::Wrong:
            io.Error("Wrong Old Password! Nothing was changed for " + Quoted(userId) + ".");
            return;
        case store::PasswordCheck::Matches:
            break;
        }
        if ((*passwords)[1] != (*passwords)[2]) {
            io.Error("Passwords need to be identical! Nothing was changed for " + Quoted(userId) +
                     ".");
            return;
        }
        saved = store::SaveNewPassword(io, userId, (*passwords)[1].Get(), (*passwords)[2].Get());
        if (!saved) {
            io.Error(store::PasswordNotSavedText(userId));
        }
    });
    if (!done || !saved) {
        return kFailed;
    }
    io.Out(L"Changed the password of " + QuotedId(userId) + L".\r\n");
    return kSucceeded;
}

int Delete(const Invocation& invocation, ConsoleIo& io) {
    std::string userId;
    if (!TakeUserId(invocation, 0, io, userId)) {
        return kUsageError;
    }
    if (RefuseUnlessElevated(io)) {
        return kFailed;
    }
    store::StoreSnapshot seen(io, {userId});
    if (!store::HasCertificate(io, userId)) {
        io.Error(Quoted(userId) + " has no certificate.");
        return kFailed;
    }
    int answer = Confirm(invocation, io, L"Delete the certificate of " + QuotedId(userId) + L"?",
                         L"Nothing was deleted.");
    if (answer != kSucceeded) {
        return answer;
    }
    if (!seen.StillHolds(io)) {
        io.Error(StoreChangedText({userId}, "Nothing was deleted."));
        return kFailed;
    }
    store::DeleteCertificate(io, userId);
    if (store::HasCertificate(io, userId)) {
        io.Error("The certificate of " + Quoted(userId) + " could not be deleted completely.");
        return kFailed;
    }
    io.Out(L"Deleted the certificate of " + QuotedId(userId) + L".\r\n");
    return kSucceeded;
}

} // namespace console
