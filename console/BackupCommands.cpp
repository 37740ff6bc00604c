// backup: the whole store as one passphrase-encrypted OpenPGP message, which gpg opens and whose
// content, a .reg file, "reg import" restores with no Wardkeep at all.
#include "Shared.h"

#include "exchange/CngPgpCrypto.h"
#include "exchange/ExclusiveFile.h"
#include "exchange/OpenPgp.h"
#include "framework/Text.h"
#include "store/Audit.h"
#include "store/CertificateStore.h"
#include "store/Inventory.h"

#include <ctime>

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

} // namespace console
