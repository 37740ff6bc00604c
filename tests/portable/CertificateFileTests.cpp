// The certificate file, without Windows: built natively under the sanitizers and into the
// Windows test program.
#include "exchange/CertificateFile.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <limits>
#include <vector>

namespace {

using namespace std::string_literals;
using exchange::CertificateFileContent;
using exchange::ImportVerdict;

constexpr std::size_t kNoLimit = std::numeric_limits<std::size_t>::max();

class StringSink final : public exchange::ByteSink {
  public:
    explicit StringSink(std::size_t failingWrite = kNoLimit) : m_failingWrite(failingWrite) {}
    bool Write(const char* data, std::size_t size) override {
        if (m_writes++ == m_failingWrite) {
            return false;
        }
        bytes.append(data, size);
        return true;
    }
    std::string bytes;

  private:
    std::size_t m_failingWrite;
    std::size_t m_writes = 0;
};

// Hands out its bytes in pieces of the given sizes in turn; the read that reaches `failAt` fails.
class StringSource final : public exchange::ByteSource {
  public:
    StringSource(std::string bytes, std::vector<std::size_t> pieces, std::size_t failAt = kNoLimit)
        : m_bytes(std::move(bytes)), m_pieces(std::move(pieces)), m_failAt(failAt) {}
    bool Read(char* buffer, std::size_t capacity, std::size_t& got) override {
        if (m_at >= m_failAt) {
            return false;
        }
        got = std::min({capacity, m_pieces[m_turn++ % m_pieces.size()], m_bytes.size() - m_at,
                        m_failAt - m_at});
        std::memcpy(buffer, m_bytes.data() + m_at, got);
        m_at += got;
        return true;
    }

  private:
    std::string m_bytes;
    std::vector<std::size_t> m_pieces;
    std::size_t m_failAt;
    std::size_t m_at = 0;
    std::size_t m_turn = 0;
};

std::string Repeat(const std::string& text, std::size_t times) {
    std::string result;
    while (times-- > 0) {
        result += text;
    }
    return result;
}

std::string Hex(std::string_view bytes) {
    std::string hex;
    for (char c : bytes) {
        char pair[3];
        std::snprintf(pair, sizeof pair, "%02x", static_cast<unsigned char>(c));
        hex += pair;
    }
    return hex;
}

// "lines|user ID|UserKey|CookieKey": non-printable characters of the user ID as \xHH, keys in
// hex, "-" for a key without a line.
std::string Describe(const std::optional<CertificateFileContent>& content) {
    if (!content) {
        return "read error";
    }
    std::string user = content->userIdTooLong ? "<too long>" : "";
    for (char c : content->userId) {
        user += c >= 0x20 && c < 0x7F ? std::string(1, c) : "\\x" + Hex(std::string(1, c));
    }
    return std::to_string(content->recognisedLines) + "|" + user + "|" +
           (content->hasUserKeyLine ? Hex(content->userKey.Bytes()) : "-") + "|" +
           (content->hasCookieKeyLine ? Hex(content->cookieKey.Bytes()) : "-");
}

// How the reader gets the file: in one piece, byte by byte, in odd pieces, or after a line that
// puts the file's start 5 bytes before the end of the reader's first 64 KiB chunk.
struct Chunking {
    const char* name;
    std::vector<std::size_t> pieces;
    std::size_t padding;
};
const Chunking kChunkings[] = {{"Whole", {kNoLimit}, 0},
                               {"ByteByByte", {1}, 0},
                               {"OddPieces", {3, 1, 7, 2, 5}, 0},
                               {"AcrossTheReadersChunk", {kNoLimit}, 65536 - 5}};

std::optional<CertificateFileContent> Read(const std::string& bytes,
                                           const Chunking& chunking = kChunkings[0]) {
    const std::string padding =
        chunking.padding == 0 ? "" : std::string(chunking.padding - 1, 'p') + "\n";
    StringSource source(padding + bytes, chunking.pieces);
    return exchange::ReadCertificateFile(source);
}

struct ReadCase {
    const char* name;
    std::string bytes;
    std::string expected; // as Describe gives it
};

std::vector<ReadCase> ReadCases() {
    const std::string written = "[Lockwell]\r\nVersion = 2.0\r\nUser = bob\r\n\r\n[Keys]\r\n"
                                "UserKey = 0a0b\r\nCookieKey = 0c";
    return {
        {"EmptyFile", "", "0||-|-"},
        {"CrLfLineEnds", written, "4|bob|0a0b|0c"},
        {"LfLineEnds",
         "[Lockwell]\nVersion = 2.0\nUser = bob\n\n[Keys]\nUserKey = 0a0b\nCookieKey = 0c\n",
         "4|bob|0a0b|0c"},
        {"MisspeltOrNoHeaders", "[Lockwel]\nUserKey = 0a0b\n[keys]\nCookieKey = 0c\nUser = bob",
         "3|bob|0a0b|0c"},
        {"LoneCrStaysInTheValue", "User = a\rb\r\r\nUserKey = 01\r", "2|a\\x0db\\x0d|01|-"},
        {"LoneCrJoinsTwoLines", "User = a\rUserKey = 01", "1|a\\x0dUserKey = 01|-|-"},
        {"CtrlZEndsTheData", "User = ab\r\x1a\r\nUserKey = 01\r\n", "1|ab\\x0d|-|-"},
        {"CtrlZInsideALine", "UserKey = 0102\x1a"s + "03", "1||0102|-"},
        {"ZeroByteEndsTheLinesText",
         "User = ab\0cd\r\nUserKey = 0102\0 03\nCookieKey\0 = 05\n\0CookieKey = 06"s,
         "2|ab|0102|-"},
        {"LastLineOf128Chars", "UserKey = " + Repeat("ab", 59), "1||" + Repeat("ab", 59) + "|-"},
        {"LastLineOf256Chars", "CookieKey = " + Repeat("cd", 122), "1||-|" + Repeat("cd", 122)},
        {"UppercaseHex", "UserKey = 0A0B\nCookieKey = FfeE", "2||0a0b|ffee"},
        {"OddDigitCounts", "UserKey = abc\nCookieKey = a", "2||ab|"},
        {"InvalidDigits", "UserKey = g1 x1g@0`a\xe9"s + "5", "1||f1fffff0faf5|-"},
        {"ZeroPairsEndTheKey", "UserKey = ab00cd\nCookieKey = 00ab", "2||ab|"},
        {"TrailingSpaces", "UserKey = abcd \nCookieKey = abcd  ", "2||abcd|abcdff"},
        {"KeyLineWithoutValue", "UserKey = \nCookieKey =", "1|||-"},
        {"NotKeyTexts", "user = a\nUSERKEY = 01\nUserKey= 01\nUserKey =01\nCookie Key = 01",
         "0||-|-"},
        {"KeyTextAnywhereInTheLine", "  my CookieKey = 12", "1||-|12"},
        // Version before User before UserKey before CookieKey, wherever they stand in the line;
        // the value starts two characters after the line's first "=".
        {"VersionWinsOverUser", "User = x Version = 2.0", "1||-|-"},
        {"UserWinsOverUserKey", "User = UserKey = 01", "1|UserKey = 01|-|-"},
        {"UserKeyWinsOverCookieKey", "CookieKey = 01 UserKey = ", "1||01fffeffffff|-"},
        {"EqualsBeforeTheKeyText", "x=CookieKey = 0102\nUser = a=b ", "2|a=b |-|fffffffffff010"},
        {"RepeatedLinesCountAndTheLastWins",
         "User = a\nUser = b\nUserKey = 01\nUserKey = 02\nUser = c\n", "5|c|02|-"},
        {"ValuesOver255Chars",
         "UserKey = " + Repeat("ab", 127) + "cdef" + Repeat("0", 100) +
             "\nCookieKey = " + Repeat("cd", 127) + "e",
         "2||" + Repeat("ab", 127) + "|" + Repeat("cd", 127)},
        {"UserIdOf127Chars", "User = " + std::string(127, 'u'),
         "1|" + std::string(127, 'u') + "|-|-"},
        {"UserIdOf128Chars", "User = " + std::string(128, 'u'), "1|<too long>|-|-"},
        {"UserIdTooLongThenShort", "User = " + std::string(1000, 'u') + "\nUser = ok", "2|ok|-|-"},
        {"UserIdShortThenTooLong", "User = ok\nUser = " + std::string(300, 'u'),
         "2|<too long>|-|-"},
        {"KeyTextAfterALongPrefix", std::string(70000, 'x') + "UserKey = 01", "1||01|-"},
        {"KeyTextAcrossTheFirstChunk", std::string(65530, 'x') + "CookieKey = 02\r\n", "1||-|02"},
    };
}

// Test names for CTest instead of the parameters' bytes.
void PrintTo(const ReadCase& c, std::ostream* out) {
    *out << c.name;
}
void PrintTo(const Chunking& c, std::ostream* out) {
    *out << c.name;
}

class ReadFile : public testing::TestWithParam<std::tuple<ReadCase, Chunking>> {};

TEST_P(ReadFile, YieldsWhatTheLinesSay) {
    const auto& [file, chunking] = GetParam();
    EXPECT_EQ(file.expected, Describe(Read(file.bytes, chunking)));
}

INSTANTIATE_TEST_SUITE_P(CertificateFile, ReadFile,
                         testing::Combine(testing::ValuesIn(ReadCases()),
                                          testing::ValuesIn(kChunkings)),
                         [](const testing::TestParamInfo<ReadFile::ParamType>& test) {
                             return std::string(std::get<0>(test.param).name) + "_" +
                                    std::get<1>(test.param).name;
                         });

struct WriteCase {
    const char* name;
    std::string userId;
    std::string userKey;
    std::string cookieKey;
    std::string userKeyHex;
    std::string cookieKeyHex;
};

void PrintTo(const WriteCase& c, std::ostream* out) {
    *out << c.name;
}

class WriteFile : public testing::TestWithParam<WriteCase> {};

TEST_P(WriteFile, WritesTheLayoutAndReadsBack) {
    const WriteCase& c = GetParam();
    StringSink sink;
    ASSERT_TRUE(exchange::WriteCertificateHead(sink, c.userId, keys::KeyBytes(c.userKey)));
    ASSERT_TRUE(exchange::WriteCookieKeyLine(sink, keys::KeyBytes(c.cookieKey)));
    EXPECT_EQ("[Lockwell]\r\nVersion = 2.0\r\nUser = " + c.userId + "\r\n\r\n[Keys]\r\nUserKey = " +
                  c.userKeyHex + "\r\nCookieKey = " + c.cookieKeyHex,
              sink.bytes);
    for (const Chunking& chunking : kChunkings) {
        const auto content = Read(sink.bytes, chunking);
        ASSERT_TRUE(content);
        EXPECT_EQ(c.userId, content->userId);
        EXPECT_EQ(keys::KeyBytes(c.userKey), content->userKey);
        EXPECT_EQ(keys::KeyBytes(c.cookieKey), content->cookieKey);
        EXPECT_EQ(4u, content->recognisedLines);
        EXPECT_EQ(ImportVerdict::Storable, exchange::JudgeImport(*content));
    }
}

INSTANTIATE_TEST_SUITE_P(
    CertificateFile, WriteFile,
    testing::Values(WriteCase{"SixteenByteKeys", "alice",
                              "\x01\x23\x45\x67\x89\xab\xcd\xef\xfe\xdc\xba\x98\x76\x54\x32\x10",
                              std::string(16, '\xa5'), "0123456789abcdeffedcba9876543210",
                              Repeat("a5", 16)},
                    WriteCase{"ShortAndEmptyKeys", "bob", "\x7f\x80\x01", "",
                              "7f8001" + Repeat("00", 13), Repeat("00", 16)},
                    WriteCase{"UserIdWithEqualsAndTrailingSpace", "x = y=z ", "\xff", "\x10",
                              "ff" + Repeat("00", 15), "10" + Repeat("00", 15)},
                    // Keys that only an import stores are written whole, so that they export
                    // and import again exactly.
                    WriteCase{"LongestKeys", "carol", std::string(127, '\x5c'),
                              std::string(17, '\x01'), Repeat("5c", 127), Repeat("01", 17)}),
    [](const testing::TestParamInfo<WriteCase>& test) { return test.param.name; });

TEST(CertificateFile, WritingStopsAtTheFailedWrite) {
    StringSink whole;
    ASSERT_TRUE(exchange::WriteCertificateHead(whole, "u", keys::KeyBytes("k")));
    // The head is written in three pieces: the lines up to the key, the key's digits, the line
    // end. What was written before the failed write stays; nothing after it is written.
    const std::size_t before[] = {0, whole.bytes.find("UserKey = ") + 10, whole.bytes.size() - 2};
    for (std::size_t failing = 0; failing < 3; ++failing) {
        StringSink sink(failing);
        EXPECT_FALSE(exchange::WriteCertificateHead(sink, "u", keys::KeyBytes("k")));
        EXPECT_EQ(whole.bytes.substr(0, before[failing]), sink.bytes) << failing;
    }
    StringSink failed(0);
    EXPECT_FALSE(exchange::WriteCookieKeyLine(failed, keys::KeyBytes("k")));
}

TEST(CertificateFile, AReadErrorYieldsNothing) {
    const std::string bytes =
        "User = a\r\nUserKey = 01\r\nCookieKey = 02" + std::string(70000, ' ');
    for (std::size_t failAt : {std::size_t{0}, std::size_t{10}, std::size_t{65536}, bytes.size()}) {
        StringSource source(bytes, {kNoLimit}, failAt);
        EXPECT_FALSE(exchange::ReadCertificateFile(source)) << failAt;
    }
}

TEST(CertificateFile, HexPairToByte) {
    struct Pair {
        char high, low;
        unsigned char expected;
    };
    // Digits either side of the ranges '0'-'9', 'A'-'F' and 'a'-'f' are invalid: 0xFF.
    const Pair pairs[] = {{'0', '0', 0x00},    {'9', 'f', 0x9f}, {'A', 'b', 0xab},
                          {'F', 'F', 0xff},    {'/', '1', 0xf1}, {':', '1', 0xf1},
                          {'@', '2', 0xf2},    {'G', '3', 0xf3}, {'`', '4', 0xf4},
                          {'g', '5', 0xf5},    {' ', '6', 0xf6}, {'\x80', '7', 0xf7},
                          {'\xe1', '8', 0xf8}, {'1', '/', 0xff}, {'1', 'G', 0xff},
                          {'0', 'g', 0xff},    {'0', ' ', 0xff}, {'0', '\xc1', 0xff}};
    for (const Pair& p : pairs) {
        EXPECT_EQ(p.expected, exchange::HexPairToByte(p.high, p.low)) << p.high << p.low;
    }
}

TEST(CertificateFile, JudgeImport) {
    const std::string longUser = "User = " + std::string(128, 'u') + "\n";
    const std::pair<std::string, ImportVerdict> files[] = {
        {"User = a\nUserKey = 01\n", ImportVerdict::TooFewLines},
        {longUser + "UserKey = 01", ImportVerdict::TooFewLines},
        {"User = a\nUser = b\nUser = c", ImportVerdict::NoUserKeyLine},
        {"Version = 2.0\nUser = a\nCookieKey = 01", ImportVerdict::NoUserKeyLine},
        {"[Lockwell]\r\nVersion = 2.0\r\nUser = a\r\n\r\n[Keys]\r\nUserKey = 01\r\n",
         ImportVerdict::NoCookieKeyLine},
        {longUser + "UserKey = 01\nCookieKey = 02", ImportVerdict::UserIdTooLong},
        {"Version = 2.0\nUserKey = 01\nCookieKey = 02", ImportVerdict::Storable},
        {"UserKey = \nCookieKey = 00\nVersion = 2.0", ImportVerdict::Storable},
        // A carriage return within a line, a tab, an escape, DEL: never a new user ID.
        {"User = a\rb\nUserKey = 01\nCookieKey = 02", ImportVerdict::UserIdControlCharacters},
        {"User = a\tb\nUserKey = 01\nCookieKey = 02", ImportVerdict::UserIdControlCharacters},
        {"User = \x1b[2J\nUserKey = 01\nCookieKey = 02", ImportVerdict::UserIdControlCharacters},
        {"User = a\x7f\nUserKey = 01\nCookieKey = 02", ImportVerdict::UserIdControlCharacters},
        {"User = a\x80\xff~ b\nUserKey = 01\nCookieKey = 02", ImportVerdict::Storable},
    };
    for (const auto& [bytes, verdict] : files) {
        EXPECT_EQ(verdict, exchange::JudgeImport(*Read(bytes))) << bytes;
    }
}

} // namespace
