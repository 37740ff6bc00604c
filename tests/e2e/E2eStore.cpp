#include "E2eStore.h"

#include "E2eEnvironment.h"

#include <bcrypt.h>
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

namespace e2e {

void DeleteStore() {
    WithPrefixMachineHive([] {
        for (REGSAM view : {kStoreView, kOtherView}) {
            for (const char* key : {kUsersKey, kCookiesKey, kLockwellKey}) {
                ::RegDeleteKeyExA(HKEY_LOCAL_MACHINE, key, view, 0);
            }
        }
    });
}

void DeleteValue(const char* keyPath, const std::string& name) {
    WithPrefixMachineHive([&] {
        HKEY key = nullptr;
        LSTATUS status =
            ::RegOpenKeyExA(HKEY_LOCAL_MACHINE, keyPath, 0, KEY_SET_VALUE | kStoreView, &key);
        if (status == ERROR_SUCCESS) {
            status = ::RegDeleteValueA(key, name.c_str());
            ::RegCloseKey(key);
        }
        EXPECT_EQ(ERROR_SUCCESS, status) << "deleting " << keyPath << "\\" << name;
    });
}

namespace {

// Sets a value of `keyPath` (created if missing) with `set`, which returns the registry's status.
template <typename Set> void SeedWith(const char* keyPath, const std::string& shown, Set set) {
    WithPrefixMachineHive([&] {
        HKEY key = nullptr;
        LSTATUS status =
            ::RegCreateKeyExA(HKEY_LOCAL_MACHINE, keyPath, 0, nullptr, REG_OPTION_NON_VOLATILE,
                              KEY_ALL_ACCESS | kStoreView, nullptr, &key, nullptr);
        if (status == ERROR_SUCCESS) {
            status = set(key);
            ::RegCloseKey(key);
        }
        EXPECT_EQ(ERROR_SUCCESS, status) << "seeding " << keyPath << "\\" << shown;
    });
}

} // namespace

void SeedValue(const char* keyPath, const std::string& name, const std::string& bytes, DWORD type) {
    SeedWith(keyPath, name, [&](HKEY key) {
        return ::RegSetValueExA(key, name.c_str(), 0, type,
                                reinterpret_cast<const BYTE*>(bytes.data()),
                                static_cast<DWORD>(bytes.size()));
    });
}

void SeedValue(const char* keyPath, const std::wstring& name, const std::string& bytes) {
    SeedWith(keyPath, "(a UTF-16 name)", [&](HKEY key) {
        return ::RegSetValueExW(key, name.c_str(), 0, REG_BINARY,
                                reinterpret_cast<const BYTE*>(bytes.data()),
                                static_cast<DWORD>(bytes.size()));
    });
}

bool ReadValue(const char* keyPath, const std::string& name, std::string& bytes, REGSAM view) {
    char data[512];
    DWORD size = sizeof data;
    DWORD flags = RRF_RT_ANY | (view == kStoreView ? RRF_SUBKEY_WOW6432KEY : RRF_SUBKEY_WOW6464KEY);
    LSTATUS status = ERROR_SUCCESS;
    WithPrefixMachineHive([&] {
        status =
            ::RegGetValueA(HKEY_LOCAL_MACHINE, keyPath, name.c_str(), flags, nullptr, data, &size);
    });
    bytes.assign(data, status == ERROR_SUCCESS ? size : 0);
    return status == ERROR_SUCCESS;
}

bool ValueExists(const char* keyPath, const std::string& name, REGSAM view) {
    std::string bytes;
    return ReadValue(keyPath, name, bytes, view);
}

std::vector<std::string> EnumeratedNames(const char* keyPath) {
    std::vector<std::string> names;
    WithPrefixMachineHive([&] {
        HKEY key = nullptr;
        if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, keyPath, 0, KEY_READ | kStoreView, &key) !=
            ERROR_SUCCESS) {
            return;
        }
        char name[256];
        DWORD length = sizeof name;
        for (DWORD i = 0; ::RegEnumValueA(key, i, name, &length, nullptr, nullptr, nullptr,
                                          nullptr) == ERROR_SUCCESS;
             ++i, length = sizeof name) {
            names.emplace_back(name, length);
        }
        ::RegCloseKey(key);
    });
    return names;
}

std::string Hex(std::string bytes, std::size_t width) {
    bytes.resize(width, '\0');
    return testing_support::Hex(bytes);
}

std::string FileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

std::string Md5Key(const std::string& bytes) {
    BCRYPT_ALG_HANDLE md5 = nullptr;
    unsigned char digest[16] = {};
    if (BCRYPT_SUCCESS(::BCryptOpenAlgorithmProvider(&md5, BCRYPT_MD5_ALGORITHM, nullptr, 0))) {
        ::BCryptHash(md5, nullptr, 0, reinterpret_cast<PUCHAR>(const_cast<char*>(bytes.data())),
                     static_cast<ULONG>(bytes.size()), digest, sizeof digest);
        ::BCryptCloseAlgorithmProvider(md5, 0);
    }
    std::string key(reinterpret_cast<const char*>(digest), sizeof digest);
    return key.substr(0, key.find('\0'));
}

void PrefixStoreTest::SetUp() {
    if (!RunningUnderWine()) {
        GTEST_SKIP() << "works on the build tree's Wine prefix: not under Wine";
    }
    ASSERT_EQ(ExpectedWinePrefix(), WinePrefix())
        << "refusing to touch a registry outside the build tree's private Wine prefix";
    m_cleaned = true;
    DeleteStore();
}

void PrefixStoreTest::TearDown() {
    if (m_cleaned) {
        DeleteStore();
    }
}

void PrefixStoreTest::SeedCertificates(const std::vector<std::string>& userIds) {
    for (const std::string& userId : userIds) {
        SeedValue(kUsersKey, userId, "user key of " + userId);
        SeedValue(kCookiesKey, userId, "cookie of " + userId);
    }
}

} // namespace e2e
