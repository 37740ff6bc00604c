// The commands that move certificates between the store and certificate files: export of one
// certificate, import, check.
#include "Shared.h"

#include "framework/Text.h"
#include "store/CertificateStore.h"
#include "store/Certificates.h"

namespace console {

int Export(const Invocation& invocation, ConsoleIo& io) {
    if ((invocation.options & kAll) != 0) {
        return ExportAll(invocation, io);
    }
    if (invocation.operands.size() != 2) {
        return UsageError(io, L"Too few arguments.", "export");
    }
    std::string userId;
    if (!TakeUserId(invocation, 0, io, userId)) {
        return kUsageError;
    }
    const std::wstring& path = invocation.operands[1];
    if (RefuseUnlessElevated(io)) {
        return kFailed;
    }
    // Read first: no question about a file for a certificate that cannot be exported.
    keys::KeyBytes userKey;
    keys::KeyBytes cookieKey;
    exchange::ExportResult result = exchange::ReadExportableKeys(io, userId, userKey, cookieKey);
    if (result.status == exchange::ExportResult::Status::Exported) {
        // An existing file is replaced only when asked, as the window's save dialog asks; one
        // that appears after the look is left alone. A name whose attributes cannot be read (a
        // device, a folder closed to this user) counts as existing.
        DWORD attributes = ::GetFileAttributesW(path.c_str());
        DWORD error = attributes == INVALID_FILE_ATTRIBUTES ? ::GetLastError() : ERROR_SUCCESS;
        bool exists = attributes == INVALID_FILE_ATTRIBUTES
                          ? error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND
                          : (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
        if (exists) {
            int answer = Confirm(invocation, io, QuotedPath(path) + L" exists. Replace it?",
                                 L"Nothing was exported.");
            if (answer != kSucceeded) {
                return answer;
            }
        }
        result = exchange::ExportCertificate(io, userId, path, exists);
    }
    if (result.status == exchange::ExportResult::Status::Exported) {
        io.Out(L"Exported the certificate of " + QuotedId(userId) + L" to " + QuotedPath(path) +
               L".\r\n");
        return kSucceeded;
    }
    io.Error(NotExportedText(userId, result));
    return kFailed;
}

int Check(const Invocation& invocation, ConsoleIo& io) {
    // An import takes all the files or none: of several, one refused file and it stores nothing.
    const wchar_t* nothing = L"An import would store nothing.";
    std::vector<std::wstring> paths;
    if (!OperandFiles(invocation, io, nothing, paths)) {
        return kFailed;
    }
    // Several files, or a wildcard: each verdict says which file it is about.
    bool namesFiles = paths.size() > 1 || paths[0] != invocation.operands[0];
    int outcome = kSucceeded;
    for (const std::wstring& path : paths) {
        exchange::ImportReading reading;
        if (!ReadStorable(path, nothing, io, reading)) {
            outcome = kFailed;
            continue;
        }
        const exchange::CertificateFileContent& content = reading.content;
        std::string said = "User ID: " + fw::ShownUserId(content.userId) +
                           "\r\nUserKey: " + std::to_string(content.userKey.Size()) +
                           " bytes\r\nCookieKey: " + std::to_string(content.cookieKey.Size()) +
                           " bytes\r\n";
        if ((namesFiles && !Print(io, L"File: " + path + L"\r\n")) || !Print(io, said)) {
            return kFailed;
        }
    }
    return outcome;
}

int Import(const Invocation& invocation, ConsoleIo& io) {
    if (RefuseUnlessElevated(io)) {
        return kFailed;
    }
    // Every file is read and judged before anything is stored: a half-done import is worse than
    // none.
    const wchar_t* nothing = L"Nothing was imported.";
    std::vector<std::wstring> paths;
    std::vector<exchange::RegCertificate> certificates;
    if (!OperandFiles(invocation, io, nothing, paths) ||
        !ReadCertificates(paths, io, nothing, false, certificates)) {
        return kFailed;
    }
    return StoreAll(invocation, io, certificates, paths.size() == 1);
}

int StoreAll(const Invocation& invocation, ConsoleIo& io,
             const std::vector<exchange::RegCertificate>& certificates, bool sayOne) {
    const wchar_t* nothing = L"Nothing was imported.";
    store::BulkSession session;
    std::vector<std::string> userIds;
    for (const exchange::RegCertificate& certificate : certificates) {
        userIds.push_back(certificate.userId);
    }
    // What the question shows and what is written both come from this one reading of the store.
    store::StoreSnapshot seen(io, userIds);
    if (!seen.Taken()) {
        io.Error(std::wstring(L"The certificate store could not be read. ") + nothing);
        return kFailed;
    }
    std::vector<std::string> replacing; // the user IDs whose CookieKey would be lost
    for (const exchange::RegCertificate& certificate : certificates) {
        if (store::ImportReplacesCookieKey(seen, certificate.userId, certificate.cookieKey)) {
            replacing.push_back(certificate.userId);
        }
    }
    if (replacing.size() == 1) {
        // Said when nobody can be asked: among many certificates, which one would be lost.
        int answer = Confirm(invocation, io, ReplaceQuestion(replacing[0]),
                             L"Nothing was imported (it would replace the certificate of " +
                                 QuotedId(replacing[0]) + L").");
        if (answer != kSucceeded) {
            return answer;
        }
    } else if (!replacing.empty()) {
        std::wstring names = fw::FromAnsi(QuotedList(replacing));
        int answer = Confirm(
            invocation, io,
            L"Replace the " + std::to_wstring(replacing.size()) + L" certificates of " + names +
                L"? Files encrypted under them can no longer be decrypted once "
                L"they are replaced.",
            L"Nothing was imported (it would replace the certificates of " + names + L").");
        if (answer != kSucceeded) {
            return answer;
        }
    }
    store::BulkSave save = store::SaveCertificates(io, certificates, seen);
    if (save.result == store::SaveResult::StoreChanged && certificates.size() > 1) {
        io.Error(StoreChangedText(userIds, "Nothing was imported."));
        return kFailed;
    }
    if (save.result != store::SaveResult::Saved) {
        std::size_t stored = save.counts[0] + save.counts[1] + save.counts[2];
        io.Error(store::CertificateNotSavedText(certificates[save.stopped].userId, save.result) +
                 (stored == 0 ? std::string()
                              : "\r\nThe " + std::to_string(stored) +
                                    " certificates before it were stored."));
        return kFailed;
    }
    if (sayOne && certificates.size() == 1) {
        io.Out(L"Imported the certificate of " + QuotedId(certificates[0].userId) + L".\r\n");
    } else {
        io.Out("Imported " + std::to_string(certificates.size()) + " certificates: " +
               std::to_string(save.counts[0]) + " new, " + std::to_string(save.counts[1]) +
               " replaced, " + std::to_string(save.counts[2]) + " unchanged.\r\n");
    }
    return kSucceeded;
}

} // namespace console
