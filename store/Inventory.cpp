#include "Inventory.h"

#include "CertificateStore.h"
#include "framework/Registry.h"
#include "framework/Text.h"

#include <map>

namespace store {
namespace {

// The longest value name the registry holds, in characters.
constexpr DWORD kMaxValueNameChars = 16383;

struct NamedValue {
    std::wstring name;
    InventoryValue value;
};

// The values of `keyPath` in enumeration order; false when the key exists but cannot be read
// whole.
bool ReadValues(const char* keyPath, std::vector<NamedValue>& values) {
    fw::UniqueHKey key =
        fw::OpenRegistryKey(HKEY_LOCAL_MACHINE, keyPath, KEY_QUERY_VALUE | KEY_WOW64_32KEY);
    if (!key) {
        return ::GetLastError() == ERROR_FILE_NOT_FOUND;
    }
    std::wstring name(kMaxValueNameChars + 1, L'\0');
    for (DWORD index = 0;; ++index) {
        DWORD nameLength = kMaxValueNameChars + 1;
        DWORD type = REG_NONE;
        DWORD bytes = 0;
        // No data buffer: the size alone, never the key.
        LONG status = ::RegEnumValueW(key.Get(), index, &name[0], &nameLength, nullptr, &type,
                                      nullptr, &bytes);
        if (status == ERROR_NO_MORE_ITEMS) {
            return true;
        }
        if (status != ERROR_SUCCESS) {
            return false;
        }
        values.push_back({name.substr(0, nameLength), {type, bytes}});
    }
}

bool HasControlCharacters(const std::wstring& name) {
    for (wchar_t c : name) {
        if (exchange::IsControlCharacter(c)) {
            return true;
        }
    }
    return false;
}

} // namespace

bool ReadBinaryValues(const char* keyPath, std::vector<exchange::RegValue16>& values) {
    fw::UniqueHKey key =
        fw::OpenRegistryKey(HKEY_LOCAL_MACHINE, keyPath, KEY_QUERY_VALUE | KEY_WOW64_32KEY);
    if (!key) {
        return ::GetLastError() == ERROR_FILE_NOT_FOUND;
    }
    DWORD largest = 0;
    if (::RegQueryInfoKeyW(key.Get(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                           nullptr, &largest, nullptr, nullptr) != ERROR_SUCCESS) {
        return false;
    }
    std::wstring name(kMaxValueNameChars + 1, L'\0');
    fw::Secret data;
    data.Resize(largest);
    for (DWORD index = 0;; ++index) {
        DWORD nameLength = kMaxValueNameChars + 1;
        DWORD type = REG_NONE;
        DWORD size = largest;
        LONG status = ::RegEnumValueW(key.Get(), index, &name[0], &nameLength, nullptr, &type,
                                      reinterpret_cast<BYTE*>(data.Buffer()), &size);
        if (status == ERROR_NO_MORE_ITEMS) {
            return true;
        }
        if (status != ERROR_SUCCESS) {
            return false; // changed meanwhile (a larger value), or unreadable
        }
        if (type == REG_BINARY) {
            values.push_back({std::u16string(name.begin(), name.begin() + nameLength),
                              fw::Secret(data.Get().substr(0, size))});
        }
    }
}

std::vector<const char*> InventoryEntry::Problems() const {
    std::vector<const char*> problems;
    if (userKey && !cookieKey) {
        problems.push_back("no-cookie-key");
    }
    if (!userKey && cookieKey) {
        problems.push_back("no-user-key");
    }
    if ((userKey && userKey->type != REG_BINARY) || (cookieKey && cookieKey->type != REG_BINARY)) {
        problems.push_back("not-binary");
    }
    if (name.size() > static_cast<std::size_t>(kMaxListedUserIdChars)) {
        problems.push_back("name-too-long");
    }
    if ((userKey && userKey->bytes > kMaxKeyBytes) ||
        (cookieKey && cookieKey->bytes > kMaxKeyBytes)) {
        problems.push_back("key-too-long");
    }
    if (HasControlCharacters(name)) {
        problems.push_back("control-characters");
    }
    return problems;
}

std::vector<InventoryEntry> TakeInventory(fw::IReporter& reporter, bool& complete) {
    std::vector<InventoryEntry> entries;
    complete = false;
    reporter.Guarded([&] {
        std::vector<NamedValue> users;
        std::vector<NamedValue> cookies;
        bool read = ReadValues(kUsersKey, users);
        read = ReadValues(kCookiesKey, cookies) && read;
        std::map<std::wstring, std::size_t> cookieOf; // folded name: index in `cookies`
        for (std::size_t i = 0; i < cookies.size(); ++i) {
            cookieOf.emplace(fw::Capitals(cookies[i].name), i);
        }
        std::vector<bool> paired(cookies.size(), false);
        entries.reserve(users.size());
        for (const NamedValue& user : users) {
            InventoryEntry entry{user.name, user.value, std::nullopt};
            auto found = cookieOf.find(fw::Capitals(user.name));
            if (found != cookieOf.end()) {
                entry.cookieKey = cookies[found->second].value;
                paired[found->second] = true;
            }
            entries.push_back(std::move(entry));
        }
        for (std::size_t i = 0; i < cookies.size(); ++i) {
            if (!paired[i]) {
                entries.push_back({cookies[i].name, std::nullopt, cookies[i].value});
            }
        }
        if (!read) {
            reporter.ShowMessage("The certificate store could not be read whole.",
                                 "Unexpected Error!");
        }
        complete = read;
    });
    return entries;
}

} // namespace store
