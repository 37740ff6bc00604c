// Keys and the derivations' inputs, without Windows: built natively under the sanitizers and
// into the Windows test program.
#include "framework/Exceptions.h"
#include "keys/KeyBytes.h"

#include <gtest/gtest.h>

namespace {

TEST(KeyBytes, EndAtTheFirstZeroByteAndCompareUpToIt) {
    EXPECT_EQ("ab", keys::KeyBytes(std::string("ab\0cd", 5)).Bytes());
    EXPECT_TRUE(keys::KeyBytes(std::string("\0xy", 3)).Empty());
    EXPECT_EQ(keys::KeyBytes("ab"), keys::KeyBytes(std::string("ab\0zz", 5)));
    EXPECT_NE(keys::KeyBytes("ab"), keys::KeyBytes("abc"));
    keys::Digest digest = {1, 2, 3};
    EXPECT_EQ(3u, keys::KeyFromDigest(digest).Size());
    digest.fill(0xFF);
    EXPECT_EQ(16u, keys::KeyFromDigest(digest).Size());
}

TEST(UserKeyInput, RunsTheThreeTogetherUpTo511Bytes) {
    EXPECT_EQ("alicesecretsecret", keys::UserKeyInput("alice", "secret", "secret"));
    // Each part ends at its first zero byte, as a C string does.
    EXPECT_EQ("ab", keys::UserKeyInput(std::string("a\0x", 3), "", "b"));
    const std::string userId(127, 'u');
    const std::string password(keys::kMaxPasswordChars, 'p');
    EXPECT_EQ(511u, keys::UserKeyInput(userId, password, password).size());
    EXPECT_THROW(keys::UserKeyInput(userId + "u", password, password), fw::CFrameworkException);
    EXPECT_THROW(keys::UserKeyInput("", std::string(512, 'p'), ""), fw::CFrameworkException);
}

TEST(CookieKeyInput, IsTheSystemTimeRecordLittleEndian) {
    // 2026-12-08, a Tuesday, 19:45:30.123.
    std::array<unsigned char, 16> record = keys::CookieKeyInput({2026, 12, 2, 8, 19, 45, 30, 123});
    const std::array<unsigned char, 16> expected = {0xea, 0x07, 0x0c, 0, 0x02, 0, 0x08, 0,
                                                    0x13, 0,    0x2d, 0, 0x1e, 0, 0x7b, 0};
    EXPECT_EQ(expected, record);
}

} // namespace
