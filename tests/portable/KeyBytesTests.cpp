// Keys and the derivations' inputs, without Windows: built natively under the sanitizers and
// into the Windows test program.
#include "framework/Exceptions.h"
#include "framework/Secret.h"
#include "keys/KeyBytes.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// Whether the `size` characters at `data` are all zero.
template <class Char> bool AllZero(const Char* data, std::size_t size) {
    for (std::size_t i = 0; i < size; ++i) {
        if (data[i] != Char()) {
            return false;
        }
    }
    return true;
}

TEST(Secret, GrowsCopiesAndMovesItsCharactersAndEndsThemWithAZero) {
    fw::Secret secret;
    EXPECT_EQ("", std::string(secret.Data()));
    std::string expected;
    for (int i = 0; i < 100; ++i) { // many growths
        secret.Append(static_cast<char>('a' + i % 26));
        expected += static_cast<char>('a' + i % 26);
    }
    secret.Append(std::string_view("xyz"));
    expected += "xyz";
    EXPECT_EQ(expected, secret.Get());
    EXPECT_EQ('\0', secret.Data()[secret.Size()]);
    fw::Secret copy = secret;
    EXPECT_EQ(secret, copy);
    fw::Secret moved = std::move(copy);
    EXPECT_EQ(expected, moved.Get());
    EXPECT_TRUE(copy.Empty()); // NOLINT(bugprone-use-after-move): a moved-from secret is empty
    moved.Resize(3);
    EXPECT_EQ("abc", moved.Get());
    // What was cut off is wiped at once: Clear then wipes only what the secret holds.
    EXPECT_TRUE(AllZero(moved.Data() + 3, expected.size() - 3));
    fw::WideSecret wide(L"p\u00e4ss");
    EXPECT_EQ(L"p\u00e4ss", wide.Get());
}

TEST(Secret, ClearWipesTheMemoryItKeeps) {
    fw::Secret secret(std::string_view("hunter2 and more"));
    const char* memory = secret.Data();
    const std::size_t size = secret.Size();
    secret.Clear();
    EXPECT_TRUE(secret.Empty());
    EXPECT_EQ(memory, secret.Data()) << "the memory is kept for reuse";
    EXPECT_TRUE(AllZero(memory, size));
    fw::WideSecret wide(L"hunter2");
    const wchar_t* wideMemory = wide.Data();
    wide.Clear();
    EXPECT_TRUE(AllZero(wideMemory, 7));
}

TEST(KeyBytes, EndAtTheFirstZeroByteAndCompareUpToIt) {
    EXPECT_EQ("ab", keys::KeyBytes(std::string("ab\0cd", 5)).Bytes());
    EXPECT_TRUE(keys::KeyBytes(std::string("\0xy", 3)).Empty());
    EXPECT_EQ(keys::KeyBytes("ab"), keys::KeyBytes(std::string("ab\0zz", 5)));
    EXPECT_NE(keys::KeyBytes("ab"), keys::KeyBytes("abc"));
    keys::Digest digest = {1, 2, 3};
    EXPECT_EQ(3u, keys::KeyFromDigest(digest).Size());
    digest.fill(0xFF);
    EXPECT_EQ(16u, keys::KeyFromDigest(digest).Size());
    EXPECT_TRUE(AllZero(digest.data(), digest.size())) << "the digest is wiped";
}

TEST(UserKeyInput, RunsTheThreeTogetherUpTo511Bytes) {
    EXPECT_EQ("alicesecretsecret", keys::UserKeyInput("alice", "secret", "secret").Get());
    // Each part ends at its first zero byte, as a C string does.
    EXPECT_EQ("ab", keys::UserKeyInput(std::string("a\0x", 3), "", "b").Get());
    const std::string userId(127, 'u');
    const std::string password(keys::kMaxPasswordChars, 'p');
    EXPECT_EQ(511u, keys::UserKeyInput(userId, password, password).Size());
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
