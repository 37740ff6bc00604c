// The store and files as the e2e driver sees them from outside the program under test: the
// prefix's machine hive in the 32-bit view, where the programs keep their certificates.
#pragma once

#include "support/Bytes.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace e2e {

inline constexpr char kLockwellKey[] = "SOFTWARE\\Lockwell";
inline constexpr char kUsersKey[] = "SOFTWARE\\Lockwell\\Users_lkw_20";
inline constexpr char kCookiesKey[] = "SOFTWARE\\Lockwell\\Cookies_lkw_20";
// Where a 64-bit view sees the 32-bit view's Users key: the store lives in the 32-bit view,
// where the product's other programs, all 32-bit, read it.
inline constexpr char kUsersKeyPhysical[] = "SOFTWARE\\Wow6432Node\\Lockwell\\Users_lkw_20";
inline constexpr REGSAM kStoreView = KEY_WOW64_32KEY;
inline constexpr REGSAM kOtherView = KEY_WOW64_64KEY;

// Deletes both views' Lockwell keys.
void DeleteStore();
void SeedValue(const char* keyPath, const std::string& name, const std::string& bytes,
               DWORD type = REG_BINARY);
// A REG_BINARY value whose name the ANSI code page may lack.
void SeedValue(const char* keyPath, const std::wstring& name, const std::string& bytes);
// The value's bytes, or false when the key or the value is missing in that view.
bool ReadValue(const char* keyPath, const std::string& name, std::string& bytes,
               REGSAM view = kStoreView);
bool ValueExists(const char* keyPath, const std::string& name, REGSAM view = kStoreView);
// Deletes the value, as another program would.
void DeleteValue(const char* keyPath, const std::string& name);
// The value names of a key as RegEnumValue yields them.
std::vector<std::string> EnumeratedNames(const char* keyPath);

// The key's bytes, padded with zero bytes to `width`, as lowercase hex.
std::string Hex(std::string bytes, std::size_t width);
using testing_support::FromHex;
// The whole file, empty when there is none.
std::string FileBytes(const std::string& path);
// MD5 of `bytes`, cut before the digest's first zero byte, as the product's keys are.
std::string Md5Key(const std::string& bytes);

// A test on the prefix's store: it runs only under Wine in the build tree's private prefix, and
// starts and ends with no Lockwell keys in either view.
class PrefixStoreTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;
    // Seeds a certificate for each user ID: "user key of <ID>" and "cookie of <ID>".
    static void SeedCertificates(const std::vector<std::string>& userIds);

  private:
    bool m_cleaned = false;
};

} // namespace e2e
