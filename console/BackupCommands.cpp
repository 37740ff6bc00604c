// backup and restore: the whole store as one passphrase-encrypted OpenPGP message, which gpg
// opens and whose content, a .reg file, "reg import" restores with no Wardkeep at all; and back,
// from such a message whoever made it, all of it or nothing, only after its integrity is checked.
#include "Shared.h"

#include "exchange/CngPgpCrypto.h"
#include "exchange/ExclusiveFile.h"
#include "exchange/OpenPgp.h"
#include "exchange/RegFileReader.h"
#include "framework/Text.h"
#include "store/Audit.h"
#include "store/CertificateStore.h"
#include "store/Inventory.h"

#include <ctime>
#include <set>

namespace console {
namespace {

// The name of the .reg file inside the message, as gpg offers to write it.
const char kContentName[] = "wardkeep-backup.reg";

// Drops the values whose names a registry file cannot hold (a line break), each said on standard
// error; returns how many.
std::size_t DropUnwritable(std::vector<exchange::RegValue16>& values, ConsoleIo& io) {
    std::size_t dropped = 0;
    for (auto value = values.begin(); value != values.end();) {
        if (exchange::IsRegValueName16(value->name)) {
            ++value;
            continue;
        }
        io.Error(L"\"" + fw::ShownName(std::wstring(value->name.begin(), value->name.end())) +
                 L"\" is not in the backup: a registry file cannot hold a name with a line "
                 L"break.");
        value = values.erase(value);
        ++dropped;
    }
    return dropped;
}

// Why a message gives no backup, for a status other than Ok.
std::wstring NotRestorableText(const exchange::PgpMessage& message) {
    using exchange::PgpStatus;
    switch (message.status) {
    case PgpStatus::Ok:
        break;
    case PgpStatus::Malformed:
        return L"is not an OpenPGP message, or it is cut short.";
    case PgpStatus::NotPassphraseEncrypted:
        return L"is not encrypted with a passphrase (it is encrypted for a key pair, or not at "
               L"all).";
    case PgpStatus::Unsupported:
        return L"is encrypted in a way that a backup is not (algorithm or version " +
               std::to_wstring(message.unsupportedValue) +
               L"): make it with gpg --symmetric --cipher-algo AES256 --compress-algo none.";
    case PgpStatus::WrongPassphrase:
        return L"does not open with this passphrase.";
    case PgpStatus::Modified:
        return L"has been modified or cut short: its integrity check fails.";
    case PgpStatus::NoIntegrityProtection:
        return L"has no integrity check (modification detection code), so a change to it could "
               L"not be told: make it with gpg --symmetric without --rfc2440.";
    case PgpStatus::Compressed:
        return L"is compressed: make it with gpg --symmetric --cipher-algo AES256 --compress-algo "
               L"none.";
    case PgpStatus::NotOneLiteralPacket:
        return L"holds something other than one file.";
    }
    return L"cannot be read.";
}

// A file without a byte order mark, read as the registry importer reads it: in the ANSI code page.
exchange::Secret16 DecodeAnsi(std::string_view bytes) {
    exchange::Secret16 text;
    int length = static_cast<int>(bytes.size());
    int chars =
        length == 0 ? 0 : ::MultiByteToWideChar(CP_ACP, 0, bytes.data(), length, nullptr, 0);
    if (chars > 0) {
        text.Resize(static_cast<std::size_t>(chars));
        ::MultiByteToWideChar(CP_ACP, 0, bytes.data(), length,
                              reinterpret_cast<wchar_t*>(text.Buffer()), chars);
    }
    return text;
}

// The whole of `path`, read for this program alone; false, said on standard error, when it
// cannot be.
bool ReadWhole(const std::wstring& path, fw::Secret& bytes, ConsoleIo& io) {
    exchange::ExclusiveFile file(path, exchange::ExclusiveFile::Mode::OpenExisting);
    fw::Secret chunk;
    chunk.Resize(1 << 16);
    std::size_t got = 0;
    while (file.IsOpen() && file.Read(chunk.Buffer(), chunk.Size(), got) && got > 0) {
        bytes.Append(chunk.Get().substr(0, got));
    }
    if (!file.IsOpen() || !file.Error().empty()) {
        io.Error(QuotedPath(path) + L" could not be read: " + fw::FromAnsi(file.Error()) +
                 L" Nothing was restored.");
        return false;
    }
    return true;
}

} // namespace

int Backup(const Invocation& invocation, ConsoleIo& io) {
    const std::wstring& path = invocation.operands[0];
    if (RefuseUnlessElevated(io)) {
        return kFailed;
    }
    const bool replace = (invocation.options & kYes) != 0;
    if (!replace && ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES) {
        io.Error(QuotedPath(path) + L" exists. Nothing was written. --yes replaces it.");
        return kFailed;
    }
    int failure = kFailed;
    std::optional<fw::Secret> passphrase = ReadPassphrase(invocation, true, io, failure);
    if (!passphrase) {
        return failure;
    }
    // Every certificate by its exact name, as the registry holds it.
    std::vector<exchange::RegValue16> users;
    std::vector<exchange::RegValue16> cookies;
    if (!store::ReadBinaryValues(store::kUsersKey, users) ||
        !store::ReadBinaryValues(store::kCookiesKey, cookies)) {
        io.Error("The certificate store could not be read whole. Nothing was written.");
        return kFailed;
    }
    const std::size_t left = DropUnwritable(users, io) + DropUnwritable(cookies, io);
    fw::Secret content = exchange::MakeUnicodeRegFile(users, cookies);
    exchange::CngPgpCrypto crypto;
    fw::Secret message =
        exchange::EncryptPgpMessage(crypto, passphrase->Get(), content.Get(), kContentName,
                                    static_cast<std::uint32_t>(std::time(nullptr)));
    passphrase->Clear();
    // Made closed to other accounts, never into a file that exists unless --yes said so; the
    // file takes the place of one only once it is whole.
    exchange::ExclusiveFile file(path, replace ? exchange::ExclusiveFile::Mode::CreateProtected
                                               : exchange::ExclusiveFile::Mode::CreateNew);
    if (!file.IsOpen() || !file.Write(message.Data(), message.Size()) || !file.Flush() ||
        !file.Close()) {
        io.Error(L"The backup was not written: " + QuotedPath(path) + L" " +
                 (file.IsOpen() ? L"could not be written: " : L"could not be created: ") +
                 fw::FromAnsi(file.Error()));
        return kFailed;
    }
    store::AuditBackup(io, users.size(), path);
    io.Out(L"Backed up " + std::to_wstring(users.size()) +
           (users.size() == 1 ? L" certificate to " : L" certificates to ") + QuotedPath(path) +
           L".\r\n");
    return left == 0 ? kSucceeded : kFailed;
}

int Restore(const Invocation& invocation, ConsoleIo& io) {
    const std::wstring& path = invocation.operands[0];
    const wchar_t* nothing = L" Nothing was restored.";
    if (RefuseUnlessElevated(io)) {
        return kFailed;
    }
    fw::Secret bytes;
    if (!ReadWhole(path, bytes, io)) {
        return kFailed;
    }
    int failure = kFailed;
    std::optional<fw::Secret> passphrase = ReadPassphrase(invocation, false, io, failure);
    if (!passphrase) {
        return failure;
    }
    // Nothing of the content is used before the integrity check of the whole message passed.
    exchange::CngPgpCrypto crypto;
    exchange::PgpMessage message =
        exchange::DecryptPgpMessage(crypto, passphrase->Get(), bytes.Get());
    passphrase->Clear();
    if (message.status != exchange::PgpStatus::Ok) {
        io.Error(QuotedPath(path) + L" " + NotRestorableText(message) + nothing);
        return kFailed;
    }
    exchange::RegFileReading reading = exchange::ReadStoreRegFile(message.data.Get(), DecodeAnsi);
    if (reading.status != exchange::RegFileStatus::Read) {
        io.Error(QuotedPath(path) + L" holds no backup of the store that can be restored: " +
                 fw::FromAnsi(reading.reason) + nothing);
        return kFailed;
    }
    // The store's operations name certificates in the ANSI code page: a name it cannot hold is
    // refused, never stored under a look-alike; the system compares the names for duplicates.
    std::vector<exchange::RegCertificate> certificates;
    std::set<std::wstring> names;
    for (exchange::StoreCertificate& certificate : reading.certificates) {
        std::wstring name(certificate.name.begin(), certificate.name.end());
        std::string userId;
        if (!fw::ToAnsi(name, userId) || userId.size() > exchange::kMaxUserIdChars) {
            io.Error(L"The backup holds \"" + fw::ShownName(name) +
                     L"\", a name that this computer's code page cannot hold in "
                     L"127 bytes: Wardkeep would store another name. Restore this backup with gpg "
                     L"and reg import instead." +
                     nothing);
            return kFailed;
        }
        if (!names.insert(Capitals(name)).second) {
            io.Error(L"The backup holds \"" + fw::ShownName(name) + L"\" twice." + nothing);
            return kFailed;
        }
        certificates.push_back({std::move(userId), keys::KeyBytes(certificate.userKey.Get()),
                                keys::KeyBytes(certificate.cookieKey.Get())});
    }
    return StoreAll(invocation, io, certificates, false);
}

} // namespace console
