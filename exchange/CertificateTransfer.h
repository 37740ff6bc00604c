// Moving one certificate between the store and a certificate file, for every front end alike:
// the window program and the console program export and read files for import the same way and
// only decide how to tell the user.
#pragma once

#include "CertificateFile.h"
#include "framework/Reporter.h"

#include <string>

namespace exchange {

struct ExportResult {
    enum class Status {
        Exported,
        Gone,          // the store holds no UserKey under the user ID: nothing was written
        NoCertificate, // the UserKey or CookieKey cannot be exported: `failure` says why
        Failed,        // the file could not be created or written: `failure` says so
    };
    Status status = Status::Exported;
    std::wstring failure;
};

// Reads the keys of `userId` as an export takes them: Exported when both were read (into
// `userKey` and `cookieKey`), otherwise Gone or NoCertificate, as ExportCertificate returns them.
ExportResult ReadExportableKeys(fw::IReporter& reporter, const std::string& userId,
                                keys::KeyBytes& userKey, keys::KeyBytes& cookieKey);

// Writes the certificate of `userId` to `path`. The store is read first: a certificate that
// cannot be exported whole leaves no file, and an existing file stays as it was. The file is made
// so that only SYSTEM, the Administrators and its owner may open it, and it takes the place of an
// existing one only once it holds the whole certificate; unless `replace`, a file that exists
// (under any of its names) is left alone and the export fails. Exceptions of the store are
// reported through `reporter`.
ExportResult ExportCertificate(fw::IReporter& reporter, const std::string& userId,
                               const std::wstring& path, bool replace = true);

// A certificate file read for import.
struct ImportReading {
    enum class Status {
        Storable,  // `content` may be stored
        NotOpened, // `error` is the system's text
        NotRead,   // `error` is the system's text
        Refused,   // `verdict` says why
    };
    Status status = Status::NotOpened;
    ImportVerdict verdict = ImportVerdict::Storable;
    CertificateFileContent content;
    std::string error;
};

// Opens `path` for this program alone and reads it whole.
ImportReading ReadForImport(const std::wstring& path);

// Why an import of `path` stores nothing, for a reading that is not Storable.
std::wstring ImportRefusalText(const std::wstring& path, const ImportReading& reading);

// `path` in double quotes, for messages.
std::wstring QuotedPath(const std::wstring& path);

} // namespace exchange
