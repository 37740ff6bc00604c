#include "CertificateStore.h"

#include "StoreKeys.h"
#include "framework/Registry.h"
#include "framework/Text.h"

#include <map>

namespace store {

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
