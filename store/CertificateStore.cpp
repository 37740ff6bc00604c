#include "CertificateStore.h"

#include "Audit.h"
#include "StoreKeys.h"
#include "framework/Registry.h"
#include "framework/Text.h"

namespace store {

const char kUsersKey[] = "Software\\Lockwell\\Users_lkw_20";
const char kCookiesKey[] = "Software\\Lockwell\\Cookies_lkw_20";

namespace {

// Delete and list spell the keys with "SOFTWARE"; the registry does not mind the case.
const char kUsersKeyUpper[] = "SOFTWARE\\Lockwell\\Users_lkw_20";
const char kCookiesKeyUpper[] = "SOFTWARE\\Lockwell\\Cookies_lkw_20";

constexpr DWORD kReportedReadBytes = 128;
constexpr DWORD kListedDataBytes = 128;

// Every key of the store is opened with full access, in the registry's 32-bit view.
constexpr REGSAM kStoreAccess = KEY_ALL_ACCESS | KEY_WOW64_32KEY;

// The store's two keys while a bulk session holds them open (none open yet when they did not
// exist).
struct SessionKeys {
    fw::UniqueHKey users;
    fw::UniqueHKey cookies;
};
SessionKeys* g_session = nullptr;

// The session's slot of `keyPath`, if a session is open and the path is one of the store's keys.
fw::UniqueHKey* SessionSlot(const char* keyPath) {
    if (g_session == nullptr) {
        return nullptr;
    }
    if (IsKey(keyPath, kUsersKey)) {
        return &g_session->users;
    }
    return IsKey(keyPath, kCookiesKey) ? &g_session->cookies : nullptr;
}

// `keyPath` opened (or created) by `open`: kept in the session's slot while a session is open.
StoreKey SessionKey(const char* keyPath, fw::UniqueHKey (*open)(HKEY, const char*, REGSAM)) {
    fw::UniqueHKey* slot = SessionSlot(keyPath);
    if (slot == nullptr) {
        return StoreKey(open(HKEY_LOCAL_MACHINE, keyPath, kStoreAccess));
    }
    if (!*slot) {
        *slot = open(HKEY_LOCAL_MACHINE, keyPath, kStoreAccess);
    }
    return StoreKey(slot->Get());
}

// Reads value `userId` of an open key into `size` bytes at most; false when it does not fit
// or does not exist. The value's type is not checked.
bool QueryValue(const StoreKey& key, const std::string& userId, DWORD size, KeyBytes& result) {
    BYTE data[kReportedReadBytes] = {};
    DWORD length = size < sizeof data ? size : sizeof data;
    bool read = ::RegQueryValueExA(key.Get(), userId.c_str(), nullptr, nullptr, data, &length) ==
                ERROR_SUCCESS;
    if (read) {
        result = KeyBytes(data, length);
    }
    fw::WipeMemory(data, sizeof data);
    return read;
}

// Whether a value was deleted.
bool DeleteValue(const char* keyPath, const std::string& userId) {
    StoreKey key = OpenKey(keyPath);
    return key && ::RegDeleteValueA(key.Get(), userId.c_str()) == ERROR_SUCCESS;
}

} // namespace

// Whether `keyPath` names `key` (whatever the letter case): the store's own constants are told
// apart without a comparison, which costs a conversion of both names on every read and write.
bool IsKey(const char* keyPath, const char* key) {
    return keyPath == key || ::lstrcmpiA(keyPath, key) == 0;
}

StoreKey OpenKey(const char* keyPath) {
    return SessionKey(keyPath, fw::OpenRegistryKey);
}

StoreKey CreateKey(const char* keyPath) {
    return SessionKey(keyPath, fw::CreateRegistryKey);
}

// Reads value `userId` of an open key whole, whatever its type and size, into `type` and `data`:
// in one call for a value that a key can be (the store's many reads are most of a bulk command's
// time under Wine), in two for a larger one.
WholeValue QueryWhole(const StoreKey& key, const std::string& userId, DWORD& type,
                      fw::Secret& data) {
    BYTE small[kReportedReadBytes];
    DWORD size = sizeof small;
    LONG status = key ? ::RegQueryValueExA(key.Get(), userId.c_str(), nullptr, &type, small, &size)
                      : ERROR_FILE_NOT_FOUND;
    if (status == ERROR_SUCCESS) {
        data = fw::Secret(std::string_view(reinterpret_cast<const char*>(small), size));
        fw::WipeMemory(small, sizeof small);
        return WholeValue::Read;
    }
    if (status != ERROR_MORE_DATA) {
        return WholeValue::Absent;
    }
    data.Resize(size);
    if (::RegQueryValueExA(key.Get(), userId.c_str(), nullptr, &type,
                           reinterpret_cast<BYTE*>(data.Buffer()), &size) != ERROR_SUCCESS) {
        return WholeValue::Unreadable; // changed under the reading, or unreadable
    }
    data.Resize(size);
    return WholeValue::Read;
}

BulkSession::BulkSession() {
    if (g_session == nullptr) {
        g_session = new SessionKeys();
        m_owner = true;
    }
}

BulkSession::~BulkSession() {
    if (m_owner) {
        delete g_session;
        g_session = nullptr;
    }
}

bool WriteKey(fw::IReporter& reporter, const char* keyPath, const std::string& userId,
              const KeyBytes& key) {
    bool written = false;
    reporter.Guarded([&] {
        StoreKey handle = CreateKey(keyPath);
        written = handle && ::RegSetValueExA(handle.Get(), userId.c_str(), 0, REG_BINARY,
                                             reinterpret_cast<const BYTE*>(key.Data()),
                                             static_cast<DWORD>(key.Size())) == ERROR_SUCCESS;
    });
    return written;
}

std::optional<KeyBytes> ReadKeyReported(fw::IReporter& reporter, const char* keyPath,
                                        const std::string& userId) {
    const char* failure = "User Keys Not Found";
    KeyBytes result;
    reporter.Guarded([&] {
        StoreKey key = OpenKey(keyPath);
        if (!key) {
            return;
        }
        failure = QueryValue(key, userId, kReportedReadBytes, result) ? nullptr : "User Not Found";
    });
    if (failure != nullptr) {
        reporter.ShowMessage(failure, "Unexpected Error!");
        return std::nullopt;
    }
    return result;
}

KeyRead ReadKey(fw::IReporter& reporter, const char* keyPath, const std::string& userId,
                KeyBytes& key) {
    KeyRead result = KeyRead::Failed;
    reporter.Guarded([&] {
        StoreKey handle = OpenKey(keyPath);
        DWORD size = 0;
        LONG status = handle ? ::RegQueryValueExA(handle.Get(), userId.c_str(), nullptr, nullptr,
                                                  nullptr, &size)
                             : ERROR_FILE_NOT_FOUND;
        if (status == ERROR_FILE_NOT_FOUND) {
            result = KeyRead::Absent;
        } else if (status == ERROR_SUCCESS && size > kMaxKeyBytes) {
            result = KeyRead::TooLong;
        } else if (status == ERROR_SUCCESS && QueryValue(handle, userId, kMaxKeyBytes, key)) {
            result = KeyRead::Read;
        }
    });
    return result;
}

std::optional<KeyBytes> ReadKeyQuiet(fw::IReporter& reporter, const char* keyPath,
                                     const std::string& userId) {
    KeyBytes result;
    return ReadKey(reporter, keyPath, userId, result) == KeyRead::Read
               ? std::optional<KeyBytes>(result)
               : std::nullopt;
}

bool HasCertificate(fw::IReporter& reporter, const std::string& userId, bool onException) {
    bool found = false;
    bool ran = reporter.Guarded([&] {
        for (const char* keyPath : {kUsersKeyUpper, kCookiesKeyUpper}) {
            StoreKey key = OpenKey(keyPath);
            found = found || (key && ::RegQueryValueExA(key.Get(), userId.c_str(), nullptr, nullptr,
                                                        nullptr, nullptr) == ERROR_SUCCESS);
        }
    });
    return ran ? found : onException;
}

StoredKey CompareStoredKey(fw::IReporter& reporter, const char* keyPath, const std::string& userId,
                           const KeyBytes& key) {
    StoredKey result = StoredKey::Differs;
    reporter.Guarded([&] {
        DWORD type = REG_NONE;
        fw::Secret stored;
        switch (QueryWhole(OpenKey(keyPath), userId, type, stored)) {
        case WholeValue::Read:
            result = KeyBytes(stored.Get()) == key ? StoredKey::Same : StoredKey::Differs;
            break;
        case WholeValue::Absent:
            result = StoredKey::Missing;
            break;
        case WholeValue::Unreadable:
            break;
        }
    });
    return result;
}

void DeleteCertificate(fw::IReporter& reporter, const std::string& userId) {
    bool deletedUserKey = DeleteValue(kUsersKeyUpper, userId);
    if (DeleteValue(kCookiesKeyUpper, userId) || deletedUserKey) {
        Audit(reporter, AuditEvent::CertificateDeleted, userId);
    }
}

std::wstring ListedUserId::Shown() const {
    return fw::ShownName(name);
}

std::vector<ListedUserId> ListCertificates(fw::IReporter& reporter) {
    std::vector<ListedUserId> listed;
    reporter.Guarded([&] {
        StoreKey key = OpenKey(kUsersKeyUpper);
        if (!key) {
            return;
        }
        // The names as the registry holds them: the ANSI functions would convert them by best
        // fit, listing a name of other characters as a look-alike. A value that does not fit
        // (name or data too long) is skipped, so that it cannot hide the certificates after it;
        // no key is read to list it.
        fw::ForEachRegistryValue(key.Get(), false, [&](const fw::RegistryValue& value) {
            if (value.type == REG_BINARY && value.bytes <= kListedDataBytes &&
                value.name.size() <= static_cast<std::size_t>(kMaxListedUserIdChars)) {
                ListedUserId entry;
                entry.name.assign(value.name);
                entry.exact = fw::ToAnsi(entry.name, entry.userId);
                listed.push_back(std::move(entry));
            }
        });
    });
    return listed;
}

std::vector<std::string> ListUserIds(fw::IReporter& reporter) {
    std::vector<std::string> userIds;
    for (ListedUserId& entry : ListCertificates(reporter)) {
        if (entry.exact) {
            userIds.push_back(std::move(entry.userId));
        }
    }
    return userIds;
}

} // namespace store
