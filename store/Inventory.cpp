#include "Inventory.h"

#include "CertificateStore.h"
#include "framework/Registry.h"
#include "framework/Text.h"

#include <map>

namespace store {
namespace {

struct NamedValue {
    std::wstring name;
    InventoryValue value;
};

// The values of `keyPath` in enumeration order, with their data when `withData`; false when the
// key exists but cannot be read whole.
bool ForEachValue(const char* keyPath, bool withData,
                  const std::function<void(const fw::RegistryValue&)>& visit) {
    fw::UniqueHKey key =
        fw::OpenRegistryKey(HKEY_LOCAL_MACHINE, keyPath, KEY_QUERY_VALUE | KEY_WOW64_32KEY);
    if (!key) {
        return ::GetLastError() == ERROR_FILE_NOT_FOUND;
    }
    return fw::ForEachRegistryValue(key.Get(), withData, visit);
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
    return ForEachValue(keyPath, true, [&](const fw::RegistryValue& value) {
        if (value.type == REG_BINARY) {
            values.push_back(
                {std::u16string(value.name.begin(), value.name.end()), fw::Secret(value.data)});
        }
    });
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
        // No data: the sizes alone, never a key.
        auto into = [](std::vector<NamedValue>& values) {
            return [&values](const fw::RegistryValue& value) {
                values.push_back({std::wstring(value.name), {value.type, value.bytes}});
            };
        };
        bool read = ForEachValue(kUsersKey, false, into(users));
        read = ForEachValue(kCookiesKey, false, into(cookies)) && read;
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
