#include "CertificateStore.h"

#include "Audit.h"
#include "framework/Registry.h"
#include "framework/Text.h"

#include <map>

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

// An open key of the store: its own handle, or the bulk session's, which stays open.
class StoreKey {
  public:
    StoreKey() = default;
    explicit StoreKey(fw::UniqueHKey owned) : m_owned(std::move(owned)), m_key(m_owned.Get()) {}
    explicit StoreKey(HKEY borrowed) : m_key(borrowed) {}
    HKEY Get() const { return m_key; }
    explicit operator bool() const { return m_key != nullptr; }

  private:
    fw::UniqueHKey m_owned;
    HKEY m_key = nullptr;
};

// Whether `keyPath` names `key` (whatever the letter case): the store's own constants are told
// apart without a comparison, which costs a conversion of both names on every read and write.
bool IsKey(const char* keyPath, const char* key) {
    return keyPath == key || ::lstrcmpiA(keyPath, key) == 0;
}

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

StoreKey OpenKey(const char* keyPath) {
    return SessionKey(keyPath, fw::OpenRegistryKey);
}

StoreKey CreateKey(const char* keyPath) {
    return SessionKey(keyPath, fw::CreateRegistryKey);
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

// How reading a whole value went.
enum class WholeValue { Read, Absent, Unreadable };

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

// Whether a value was deleted.
bool DeleteValue(const char* keyPath, const std::string& userId) {
    StoreKey key = OpenKey(keyPath);
    return key && ::RegDeleteValueA(key.Get(), userId.c_str()) == ERROR_SUCCESS;
}

} // namespace

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

bool StoredKeyDiffers(fw::IReporter& reporter, const char* keyPath, const std::string& userId,
                      const KeyBytes& key) {
    return CompareStoredKey(reporter, keyPath, userId, key) == StoredKey::Differs;
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
        DWORD count = 0;
        if (!key ||
            ::RegQueryInfoKeyW(key.Get(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                               &count, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) {
            return;
        }
        for (DWORD index = 0; index < count; ++index) {
            // The names as the registry holds them: the ANSI functions would convert them by best
            // fit, listing a name of other characters as a look-alike.
            wchar_t name[kMaxListedUserIdChars + 1];
            DWORD nameLength = kMaxListedUserIdChars + 1;
            BYTE data[kListedDataBytes];
            DWORD dataLength = sizeof data;
            DWORD type = REG_NONE;
            // A value that does not fit (name or data too long) is skipped, so that it cannot
            // hide the certificates enumerated after it.
            if (::RegEnumValueW(key.Get(), index, name, &nameLength, nullptr, &type, data,
                                &dataLength) == ERROR_SUCCESS &&
                type == REG_BINARY) {
                ListedUserId entry;
                entry.name.assign(name, nameLength);
                entry.exact = fw::ToAnsi(entry.name, entry.userId);
                listed.push_back(std::move(entry));
            }
            fw::WipeMemory(data, sizeof data);
        }
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

// One value of the store as a snapshot holds it.
struct StoreSnapshot::Values {
    struct Value {
        bool present = false;
        DWORD type = REG_NONE;
        fw::Secret data;
        bool operator==(const Value& other) const {
            return present == other.present && type == other.type && data == other.data;
        }
    };
    std::vector<Value> values; // the Users value, then the Cookies value, of each user ID
    // Read by enumerating both keys rather than by asking for each value by name: read again the
    // same way, since the two ways give a string value's data in different encodings.
    bool enumerated = false;

    // Reads them; false when a value that exists could not be read. `choose` picks the cheaper
    // way first, and reads by name when enumerating cannot stand in for it.
    bool Read(const std::vector<std::string>& userIds, bool choose = false) {
        StoreKey keys[] = {OpenKey(kUsersKey), OpenKey(kCookiesKey)};
        if (choose) {
            enumerated = EnumeratingIsCheaper(keys, userIds.size());
        }
        values.clear();
        values.reserve(userIds.size() * 2);
        if (!enumerated) {
            return ReadByName(keys, userIds);
        }
        if (ReadEnumerated(keys, userIds) || !choose) {
            return true;
        }
        enumerated = false;
        values.clear();
        return ReadByName(keys, userIds);
    }

  private:
    // Whether enumerating both keys costs fewer trips to the registry than asking for both values
    // of each user ID by name: a bulk command over a store of about its size.
    static bool EnumeratingIsCheaper(const StoreKey (&keys)[2], std::size_t userIds) {
        DWORD total = 0;
        for (const StoreKey& key : keys) {
            DWORD count = 0;
            if (key &&
                ::RegQueryInfoKeyW(key.Get(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                   &count, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) {
                return false;
            }
            total += count;
        }
        return total <= userIds * 2;
    }

    bool ReadByName(const StoreKey (&keys)[2], const std::vector<std::string>& userIds) {
        for (const std::string& userId : userIds) {
            for (const StoreKey& key : keys) {
                Value value;
                WholeValue read = QueryWhole(key, userId, value.type, value.data);
                if (read == WholeValue::Unreadable) {
                    return false;
                }
                value.present = read == WholeValue::Read;
                if (!value.present) {
                    value.type = REG_NONE;
                }
                values.push_back(std::move(value));
            }
        }
        return true;
    }

    // One trip per value of the store. The names are matched as the registry matches them, in
    // capitals; false when that cannot stand in for asking by name: a user ID that the code page
    // does not hold exactly, two names of a key that give the same capitals, or a value of a
    // string type, which the ANSI calls that store and read keys would convert.
    bool ReadEnumerated(const StoreKey (&keys)[2], const std::vector<std::string>& userIds) {
        std::map<std::wstring, Value> byName[2]; // of each key, by name in capitals
        for (int k = 0; k < 2; ++k) {
            bool unique = true;
            auto hold = [&](const fw::RegistryValue& value) {
                Value held{true, value.type, fw::Secret(value.data)};
                if (!byName[k]
                         .emplace(fw::Capitals(std::wstring(value.name)), std::move(held))
                         .second) {
                    unique = false;
                }
            };
            if (keys[k] && !fw::ForEachRegistryValue(keys[k].Get(), true, hold)) {
                return false;
            }
            if (!unique) {
                return false;
            }
        }
        for (const std::string& userId : userIds) {
            // As the ANSI calls name the value: the user ID up to a zero byte, in the code page.
            std::string_view name(userId.c_str());
            if (!fw::IsAnsiText(name)) {
                return false;
            }
            std::wstring capitals = fw::Capitals(fw::FromAnsi(name));
            for (const auto& held : byName) {
                auto found = held.find(capitals);
                if (found == held.end()) {
                    values.emplace_back();
                    continue;
                }
                DWORD type = found->second.type;
                if (type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ) {
                    return false;
                }
                values.push_back(found->second);
            }
        }
        return true;
    }
};

StoreSnapshot::StoreSnapshot(fw::IReporter& reporter, const std::vector<std::string>& userIds)
    : m_userIds(userIds) {
    for (std::size_t i = 0; i < m_userIds.size(); ++i) {
        m_index.emplace(m_userIds[i], i);
    }
    auto values = std::make_unique<Values>();
    if (reporter.Guarded([&] {
            if (!values->Read(m_userIds, true)) {
                values.reset();
            }
        }) &&
        values) {
        m_values = std::move(values);
    }
}

StoreSnapshot::~StoreSnapshot() = default;
StoreSnapshot::StoreSnapshot(StoreSnapshot&&) noexcept = default;
StoreSnapshot& StoreSnapshot::operator=(StoreSnapshot&&) noexcept = default;

bool StoreSnapshot::StillHolds() const {
    Values now;
    now.enumerated = m_values && m_values->enumerated;
    return m_values && now.Read(m_userIds) && now.values == m_values->values;
}

StoredKey StoreSnapshot::Compare(const char* keyPath, const std::string& userId,
                                 const KeyBytes& key, bool* exact) const {
    if (exact != nullptr) {
        *exact = false;
    }
    auto found = m_index.find(userId);
    if (!m_values || found == m_index.end()) {
        return StoredKey::Differs;
    }
    const Values::Value& value =
        m_values->values[found->second * 2 + (IsKey(keyPath, kCookiesKey) ? 1 : 0)];
    if (!value.present) {
        return StoredKey::Missing;
    }
    if (exact != nullptr) {
        *exact = value.type == REG_BINARY && value.data.Get() == key.Bytes();
    }
    return KeyBytes(value.data.Get()) == key ? StoredKey::Same : StoredKey::Differs;
}

bool StoreSnapshot::StillHolds(fw::IReporter& reporter) const {
    bool same = false;
    reporter.Guarded([&] { same = StillHolds(); });
    return same;
}

} // namespace store
