#include "CertificateStore.h"

#include "framework/Registry.h"
#include "framework/Seams.h"

namespace store {

const char kUsersKey[] = "Software\\Lockwell\\Users_lkw_20";
const char kCookiesKey[] = "Software\\Lockwell\\Cookies_lkw_20";

namespace {

// Delete and list spell the keys with "SOFTWARE"; the registry does not mind the case.
const char kUsersKeyUpper[] = "SOFTWARE\\Lockwell\\Users_lkw_20";
const char kCookiesKeyUpper[] = "SOFTWARE\\Lockwell\\Cookies_lkw_20";

constexpr DWORD kReportedReadBytes = 128;
constexpr DWORD kQuietReadBytes = 16;
constexpr DWORD kListedDataBytes = 128;

fw::UniqueHKey OpenKey(const char* keyPath) {
    return fw::OpenRegistryKey(HKEY_LOCAL_MACHINE, keyPath, KEY_ALL_ACCESS);
}

// Reads value `userId` of an open key into `size` bytes at most; false when it does not fit
// or does not exist. The value's type is not checked.
bool QueryValue(const fw::UniqueHKey& key, const std::string& userId, DWORD size,
                KeyBytes& result) {
    BYTE data[kReportedReadBytes] = {};
    DWORD length = size < sizeof data ? size : sizeof data;
    if (::RegQueryValueExA(key.Get(), userId.c_str(), nullptr, nullptr, data, &length) !=
        ERROR_SUCCESS) {
        return false;
    }
    DWORD end = 0;
    while (end < length && data[end] != 0) {
        ++end;
    }
    result.assign(reinterpret_cast<const char*>(data), end);
    return true;
}

void DeleteValue(const char* keyPath, const std::string& userId) {
    fw::UniqueHKey key = OpenKey(keyPath);
    if (key) {
        ::RegDeleteValueA(key.Get(), userId.c_str());
    }
}

} // namespace

void WriteKey(fw::CDialog& dialog, const char* keyPath, const std::string& userId,
              const KeyBytes& key) {
    dialog.Guarded([&] {
        fw::UniqueHKey handle = fw::CreateRegistryKey(HKEY_LOCAL_MACHINE, keyPath);
        if (!handle) {
            return;
        }
        ::RegSetValueExA(handle.Get(), userId.c_str(), 0, REG_BINARY,
                         reinterpret_cast<const BYTE*>(key.data()), static_cast<DWORD>(key.size()));
    });
}

KeyBytes ReadKeyReported(fw::CDialog& owner, const char* keyPath, const std::string& userId) {
    const char* failure = "User Keys Not Found";
    KeyBytes result;
    owner.Guarded([&] {
        fw::UniqueHKey key = OpenKey(keyPath);
        if (!key) {
            return;
        }
        failure = QueryValue(key, userId, kReportedReadBytes, result) ? nullptr : "User Not Found";
    });
    if (failure != nullptr) {
        fw::CurrentSeams().messageBox(owner.GetSafeHwnd(), failure, "Unexpected Error!", MB_OK);
        result.clear();
    }
    return result;
}

KeyBytes ReadKeyQuiet(fw::CDialog& dialog, const char* keyPath, const std::string& userId) {
    KeyBytes result;
    bool finished = dialog.Guarded([&] {
        fw::UniqueHKey key = OpenKey(keyPath);
        if (key) {
            QueryValue(key, userId, kQuietReadBytes, result);
        }
    });
    if (!finished) {
        result.clear();
    }
    return result;
}

void DeleteCertificate(const std::string& userId) {
    DeleteValue(kUsersKeyUpper, userId);
    DeleteValue(kCookiesKeyUpper, userId);
}

std::vector<std::string> ListUserIds(fw::CDialog& dialog) {
    std::vector<std::string> userIds;
    dialog.Guarded([&] {
        fw::UniqueHKey key = OpenKey(kUsersKeyUpper);
        DWORD count = 0;
        if (!key ||
            ::RegQueryInfoKeyA(key.Get(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                               &count, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) {
            return;
        }
        for (DWORD index = 0; index < count; ++index) {
            char name[kMaxListedUserIdChars + 1];
            DWORD nameLength = sizeof name;
            BYTE data[kListedDataBytes];
            DWORD dataLength = sizeof data;
            DWORD type = REG_NONE;
            // A value that does not fit (name or data too long) is skipped, so that it cannot
            // hide the certificates enumerated after it.
            if (::RegEnumValueA(key.Get(), index, name, &nameLength, nullptr, &type, data,
                                &dataLength) == ERROR_SUCCESS &&
                type == REG_BINARY) {
                userIds.emplace_back(name, nameLength);
            }
        }
    });
    return userIds;
}

} // namespace store
