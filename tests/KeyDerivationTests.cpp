// The key derivations to the byte, with MD5 from the platform and the clock fixed by the seam.
#include "support/TestSupport.h"

#include "framework/Cng.h"
#include "framework/Exceptions.h"
#include "keys/KeyDerivation.h"

#include <gtest/gtest.h>

using namespace testing_support;

namespace {

std::string DigestHex(const keys::Digest& digest) {
    return Hex(std::string(digest.begin(), digest.end()));
}

struct Md5Case : NamedCase {
    std::string input;
    const char* digest;
};

class Md5Test : public testing::TestWithParam<Md5Case> {};

TEST_P(Md5Test, MatchesRfc1321) {
    const std::string& input = GetParam().input;
    EXPECT_EQ(GetParam().digest, DigestHex(keys::Md5(input.data(), input.size())));
}

INSTANTIATE_TEST_SUITE_P(
    Keys, Md5Test,
    testing::Values(
        Md5Case{{"Empty"}, "", "d41d8cd98f00b204e9800998ecf8427e"},
        Md5Case{{"A"}, "a", "0cc175b9c0f1b6a831c399e269772661"},
        Md5Case{{"Abc"}, "abc", "900150983cd24fb0d6963f7d28e17f72"},
        Md5Case{{"MessageDigest"}, "message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
        Md5Case{{"Alphabet"}, "abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
        Md5Case{{"Alphanumeric"},
                "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789",
                "d174ab98d277d9f5a5611c2c9f419d9f"},
        Md5Case{{"EightyDigits"},
                "1234567890123456789012345678901234567890123456789012345678901234567890123456"
                "7890",
                "57edf4a22be3c955ac49da2e2107b67a"}),
    CaseName<Md5Case>);

struct UserKeyCase : NamedCase {
    const char* userId;
    const char* first;
    const char* second;
    const char* key; // hex, cut before the digest's first zero byte
};

class UserKeyTest : public testing::TestWithParam<UserKeyCase> {};

TEST_P(UserKeyTest, IsTheDigestOfTheConcatenationCutAtItsFirstZeroByte) {
    const UserKeyCase& c = GetParam();
    EXPECT_EQ(c.key, Hex(keys::DeriveUserKey(c.userId, c.first, c.second).Bytes()));
}

// The inputs whose digests hold a zero byte were found once by search.
INSTANTIATE_TEST_SUITE_P(
    Keys, UserKeyTest,
    testing::Values(
        // MD5("") = d41d8cd98f 00 b204...: five bytes.
        UserKeyCase{{"EmptyUserIdAndPasswords"}, "", "", "", "d41d8cd98f"},
        UserKeyCase{{"NoZeroByteKeepsAllSixteen"},
                    "alice",
                    "secret",
                    "secret",
                    "3089a7888db6b58521b11a18c45349e5"},
        UserKeyCase{
            {"NoSeparators"}, "ali", "cesecret", "secret", "3089a7888db6b58521b11a18c45349e5"},
        UserKeyCase{
            {"UserIdCaseCounts"}, "Alice", "secret", "secret", "0373d4cbe0cb2e13adf025a60cf6648f"},
        UserKeyCase{{"ZeroAtPosition0"}, "zero", "pw37", "pw37", ""},
        UserKeyCase{{"ZeroAtPosition7"}, "zero", "pw608", "pw608", "ea996dfbd551d7"},
        UserKeyCase{
            {"ZeroAtPosition15"}, "zero", "pw359", "pw359", "3c9dc17a5a1161056e2c2085284f7d"}),
    CaseName<UserKeyCase>);

TEST(UserKey, InputOfMoreThan511BytesIsRefused) {
    const std::string password(192, 'p');
    EXPECT_NO_THROW(keys::DeriveUserKey(std::string(127, 'u'), password, password));
    EXPECT_THROW(keys::DeriveUserKey(std::string(128, 'u'), password, password),
                 fw::CFrameworkException);
}

TEST(CookieKey, IsTheDigestOfTheUtcTimeRecordAtTheMomentOfDerivation) {
    // 2026-12-08 (a Tuesday) 19:45:30.123: MD5 of ea07 0c00 0200 0800 1300 2d00 1e00 7b00.
    Timeline().now = {2026, 12, 2, 8, 19, 45, 30, 123};
    keys::KeyBytes first = keys::DeriveCookieKey();
    EXPECT_EQ("68a0b3e1ed931af2834ebce56d63197e", Hex(first.Bytes()));
    EXPECT_EQ((std::vector<std::string>{"clock"}), Timeline().events);

    // Two certificates made in the same millisecond share their CookieKey; the next differs.
    EXPECT_EQ(first, keys::DeriveCookieKey());
    Timeline().now.wMilliseconds = 124;
    EXPECT_NE(first, keys::DeriveCookieKey());
}

} // namespace

namespace {

std::string HexOf(const std::vector<std::uint8_t>& bytes) {
    return Hex(std::string(bytes.begin(), bytes.end()));
}

// The platform's other primitives, as a backup encrypts with them: the standards' own vectors.
TEST(Cng, HashesAesAndRandomMatchTheirStandards) {
    fw::CngHash sha256(BCRYPT_SHA256_ALGORITHM);
    sha256.Update("a", 1);
    sha256.Update("bc", 2); // in pieces, as the S2K feeds it
    EXPECT_EQ("ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad",
              HexOf(sha256.Finish()));
    sha256.Update("abc", 3); // and again after a digest
    EXPECT_EQ("ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad",
              HexOf(sha256.Finish()));
    fw::CngHash sha1(BCRYPT_SHA1_ALGORITHM);
    sha1.Update("abc", 3);
    EXPECT_EQ("a9993e364706816aba3e25717850c26c9cd0d89d", HexOf(sha1.Finish()));

    std::uint8_t key[32];
    for (int i = 0; i < 32; ++i) {
        key[i] = static_cast<std::uint8_t>(i);
    }
    std::uint8_t blocks[32] = {0x00, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77,
                               0x88, 0x99, 0xaa, 0xbb, 0xcc, 0xdd, 0xee, 0xff};
    std::copy(blocks, blocks + 16, blocks + 16);
    fw::CngAes256(key).Encrypt(blocks, blocks, 2); // each block alone: ECB
    const std::vector<std::uint8_t> cipher(blocks, blocks + 32);
    EXPECT_EQ("8ea2b7ca516745bfeafc49904b496089"
              "8ea2b7ca516745bfeafc49904b496089",
              HexOf(cipher));

    std::uint8_t first[16] = {}, second[16] = {};
    fw::CngRandom(first, sizeof first);
    fw::CngRandom(second, sizeof second);
    EXPECT_NE(std::vector<std::uint8_t>(first, first + 16),
              std::vector<std::uint8_t>(second, second + 16));
}

} // namespace
