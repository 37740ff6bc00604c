#include "CertificateTransfer.h"

#include "ExclusiveFile.h"
#include "store/CertificateStore.h"

#include <optional>

namespace exchange {

namespace {

// Closes the file, which does not hold the whole certificate, and says so.
ExportResult Failed(ExclusiveFile& file, const std::string& path, const char* what) {
    ExportResult result{ExportResult::Status::Failed, "The certificate was not exported: \"" +
                                                          path + "\" " + what + ".\n" +
                                                          file.Error()};
    if (file.IsOpen()) {
        file.Close();
    }
    return result;
}

} // namespace

ExportResult ExportCertificate(fw::IReporter& reporter, const std::string& userId,
                               const std::string& path) {
    ExclusiveFile file(path, ExclusiveFile::Mode::CreateOrEmpty);
    if (!file.IsOpen()) {
        return Failed(file, path, "could not be created");
    }
    std::optional<keys::KeyBytes> userKey = store::ReadKeyQuiet(reporter, store::kUsersKey, userId);
    if (!userKey) {
        file.Close(); // left empty
        return {ExportResult::Status::NoCertificate, {}};
    }
    if (!WriteCertificateHead(file, userId, *userKey)) {
        return Failed(file, path, "could not be written");
    }
    std::optional<keys::KeyBytes> cookieKey =
        store::ReadKeyQuiet(reporter, store::kCookiesKey, userId);
    if (!cookieKey) {
        if (!file.Close()) { // left holding the head
            return Failed(file, path, "could not be written");
        }
        return {ExportResult::Status::NoCertificate, {}};
    }
    if (!WriteCookieKeyLine(file, *cookieKey) || !file.Flush() || !file.Close()) {
        return Failed(file, path, "could not be written");
    }
    return {};
}

ImportReading ReadForImport(const std::string& path) {
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

std::string ImportRefusalText(const std::string& path, const ImportReading& reading) {
    std::string file = "\"" + path + "\"";
    switch (reading.status) {
    case ImportReading::Status::Storable:
        break;
    case ImportReading::Status::NotOpened:
        return file + " could not be opened: " + reading.error;
    case ImportReading::Status::NotRead:
        return file + " could not be read: " + reading.error;
    case ImportReading::Status::Refused:
        switch (reading.verdict) {
        case ImportVerdict::Storable:
            break;
        case ImportVerdict::TooFewLines:
            return file + " is not a certificate file: fewer than three of its lines are "
                          "\"Version\", \"User\", \"UserKey\" or \"CookieKey\" lines.";
        case ImportVerdict::NoUserKeyLine:
            return file + " has no \"UserKey\" line.";
        case ImportVerdict::NoCookieKeyLine:
            return file + " has no \"CookieKey\" line.";
        case ImportVerdict::UserIdTooLong:
            return file + " holds a user ID longer than " + std::to_string(kMaxUserIdChars) +
                   " characters, which could never be listed.";
        }
        break;
    }
    return file + " holds a certificate that can be imported.";
}

} // namespace exchange
