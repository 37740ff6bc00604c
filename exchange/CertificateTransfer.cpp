#include "CertificateTransfer.h"

#include "ExclusiveFile.h"
#include "framework/Text.h"
#include "store/CertificateStore.h"

#include <optional>

namespace exchange {

namespace {

// Abandons the file, which does not hold the whole certificate, and says so.
ExportResult Failed(ExclusiveFile& file, const std::wstring& path, const char* what) {
    ExportResult result{ExportResult::Status::Failed,
                        L"The certificate was not exported: " + QuotedPath(path) + L" " +
                            fw::FromAnsi(what) + L".\n" + fw::FromAnsi(file.Error())};
    file.Abandon();
    return result;
}

// Why key `which` of the certificate `shown` cannot be exported, after `read` did not give it.
std::wstring Unexportable(const wchar_t* which, const std::wstring& shown, store::KeyRead read) {
    switch (read) {
    case store::KeyRead::Absent:
        return shown + L" has no " + which + L": the certificate is incomplete.";
    case store::KeyRead::TooLong:
        return L"The " + std::wstring(which) + L" of " + shown + L" is longer than " +
               std::to_wstring(store::kMaxKeyBytes) +
               L" bytes, more than a certificate file holds.";
    default:
        return L"The " + std::wstring(which) + L" of " + shown + L" could not be read.";
    }
}

} // namespace

std::wstring QuotedPath(const std::wstring& path) {
    return L"\"" + path + L"\"";
}

ExportResult ReadExportableKeys(fw::IReporter& reporter, const std::string& userId,
                                keys::KeyBytes& userKey, keys::KeyBytes& cookieKey) {
    const std::wstring shown = fw::FromAnsi(fw::QuotedUserId(userId));
    store::KeyRead read = store::ReadKey(reporter, store::kUsersKey, userId, userKey);
    if (read == store::KeyRead::Absent) {
        return {ExportResult::Status::Gone, {}};
    }
    if (read != store::KeyRead::Read) {
        return {ExportResult::Status::NoCertificate, Unexportable(L"UserKey", shown, read)};
    }
    read = store::ReadKey(reporter, store::kCookiesKey, userId, cookieKey);
    if (read != store::KeyRead::Read) {
        return {ExportResult::Status::NoCertificate, Unexportable(L"CookieKey", shown, read)};
    }
    return {};
}

ExportResult ExportCertificate(fw::IReporter& reporter, const std::string& userId,
                               const std::wstring& path, bool replace) {
    keys::KeyBytes userKey;
    keys::KeyBytes cookieKey;
    ExportResult read = ReadExportableKeys(reporter, userId, userKey, cookieKey);
    if (read.status != ExportResult::Status::Exported) {
        return read;
    }
    ExclusiveFile file(path, replace ? ExclusiveFile::Mode::CreateProtected
                                     : ExclusiveFile::Mode::CreateNew);
    if (!file.IsOpen()) {
        return Failed(file, path, "could not be created");
    }
    if (!WriteCertificateHead(file, userId, userKey) || !WriteCookieKeyLine(file, cookieKey) ||
        !file.Flush() || !file.Close()) {
        return Failed(file, path, "could not be written");
    }
    return {};
}

ImportReading ReadForImport(const std::wstring& path) {
    ImportReading reading;
    ExclusiveFile file(path, ExclusiveFile::Mode::OpenExisting);
    if (!file.IsOpen()) {
        reading.error = file.Error();
        return reading;
    }
    std::optional<CertificateFileContent> content = ReadCertificateFile(file);
    if (!content) {
        reading.status = ImportReading::Status::NotRead;
        reading.error = file.Error();
        return reading;
    }
    reading.content = std::move(*content);
    reading.verdict = JudgeImport(reading.content);
    reading.status = reading.verdict == ImportVerdict::Storable ? ImportReading::Status::Storable
                                                                : ImportReading::Status::Refused;
    return reading;
}

std::wstring ImportRefusalText(const std::wstring& path, const ImportReading& reading) {
    std::wstring file = QuotedPath(path);
    switch (reading.status) {
    case ImportReading::Status::Storable:
        break;
    case ImportReading::Status::NotOpened:
        return file + L" could not be opened: " + fw::FromAnsi(reading.error);
    case ImportReading::Status::NotRead:
        return file + L" could not be read: " + fw::FromAnsi(reading.error);
    case ImportReading::Status::Refused:
        switch (reading.verdict) {
        case ImportVerdict::Storable:
            break;
        case ImportVerdict::TooFewLines:
            return file + L" is not a certificate file: fewer than three of its lines are "
                          L"\"Version\", \"User\", \"UserKey\" or \"CookieKey\" lines.";
        case ImportVerdict::NoUserKeyLine:
            return file + L" has no \"UserKey\" line.";
        case ImportVerdict::NoCookieKeyLine:
            return file + L" has no \"CookieKey\" line.";
        case ImportVerdict::UserIdTooLong:
            return file + L" holds a user ID longer than " + std::to_wstring(kMaxUserIdChars) +
                   L" characters, which could never be listed.";
        case ImportVerdict::UserIdControlCharacters:
            return file + L" holds a user ID with a control character (a line break, a tab...), "
                          L"which would rewrite the lines that show it.";
        }
        break;
    }
    return file + L" holds a certificate that can be imported.";
}

} // namespace exchange
