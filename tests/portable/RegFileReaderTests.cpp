// The backup's registry file read back, without Windows: built natively under the sanitizers and
// into the Windows test program.
#include "exchange/RegFile.h"
#include "exchange/RegFileReader.h"
#include "Latin1Text.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <string>
#include <vector>

namespace {

using namespace std::string_literals;
using exchange::ReadStoreRegFile;
using exchange::RegFileReading;
using exchange::RegFileStatus;

const std::u16string kHead = u"Windows Registry Editor Version 5.00\r\n\r\n";
const std::u16string kUsers = u"[HKEY_LOCAL_MACHINE\\SOFTWARE\\Lockwell\\Users_lkw_20]\r\n";
const std::u16string kCookies = u"[HKEY_LOCAL_MACHINE\\SOFTWARE\\Lockwell\\Cookies_lkw_20]\r\n";

struct Certificate {
    std::u16string name;
    std::string userKey;
    std::string cookieKey;
};

// Nonzero bytes, `size` of them.
std::string KeyOf(std::size_t size, unsigned char first) {
    std::string key;
    for (std::size_t i = 0; i < size; ++i) {
        key += static_cast<char>(static_cast<unsigned char>(first + i) % 255 + 1);
    }
    return key;
}

// The text as the file's bytes: UTF-16LE after a byte order mark.
std::string Utf16File(std::u16string_view text) {
    std::string bytes = "\xFF\xFE";
    for (char16_t c : text) {
        bytes += static_cast<char>(c & 0xFF);
        bytes += static_cast<char>(c >> 8);
    }
    return bytes;
}

void ExpectCertificates(const std::vector<Certificate>& expected, const RegFileReading& reading) {
    ASSERT_EQ(RegFileStatus::Read, reading.status) << reading.reason;
    ASSERT_EQ(expected.size(), reading.certificates.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(expected[i].name, reading.certificates[i].name) << i;
        EXPECT_EQ(expected[i].userKey, reading.certificates[i].userKey.Get()) << i;
        EXPECT_EQ(expected[i].cookieKey, reading.certificates[i].cookieKey.Get()) << i;
    }
}

const std::vector<Certificate> kAwkward = {
    {u"alice", KeyOf(16, 0x10), KeyOf(16, 0xF0)},
    {u"", KeyOf(1, 0), KeyOf(0, 0)}, // the unnamed value
    {u"dom\\user", KeyOf(0, 0), KeyOf(127, 0x80)},
    {u"say \"hi\"", KeyOf(127, 0), KeyOf(1, 0xFE)},
    {u"\\\"\\", KeyOf(16, 0xFF), KeyOf(16, 0x00)},
    {u"@", KeyOf(3, 0x41), KeyOf(3, 0x42)},
    {u"[x]=hex:;", KeyOf(2, 0x5B), KeyOf(2, 0x5C)},
    {u" ;lead", KeyOf(5, 0x09), KeyOf(5, 0x0D)},
    {u"Ren\u00e9 \u00ff", KeyOf(4, 0x20), KeyOf(4, 0x21)},
    {std::u16string(127, u'w'), KeyOf(127, 0x30), KeyOf(127, 0x31)},
};

TEST(RegFileReader, ReadsTheUnicodeFileBack) {
    std::vector<Certificate> certificates = kAwkward;
    certificates.push_back({u"\u65e5\u672c \u0436 \xD83D\xDE00", KeyOf(7, 1), KeyOf(8, 2)});
    certificates.push_back({u"\xDC00 lone", KeyOf(1, 3), KeyOf(1, 4)}); // as the registry holds it
    for (std::size_t count = 0; count <= certificates.size(); count += 3) {
        const std::vector<Certificate> some(
            certificates.begin(), certificates.begin() + static_cast<std::ptrdiff_t>(count));
        std::vector<exchange::RegValue16> users;
        std::vector<exchange::RegValue16> cookies;
        for (const Certificate& c : some) {
            users.push_back({c.name, fw::Secret(c.userKey)});
            cookies.push_back({c.name, fw::Secret(c.cookieKey)});
        }
        ExpectCertificates(some,
                           ReadStoreRegFile(exchange::MakeUnicodeRegFile(users, cookies).Get()));
    }
}

TEST(RegFileReader, ReadsTheAnsiFileBack) {
    std::vector<exchange::RegCertificate> written;
    for (const Certificate& c : kAwkward) {
        written.push_back({std::string(c.name.begin(), c.name.end()), keys::KeyBytes(c.userKey),
                           keys::KeyBytes(c.cookieKey)});
    }
    ExpectCertificates(kAwkward,
                       ReadStoreRegFile(exchange::MakeRegFile(written).Get(), Latin1Text));
    ExpectCertificates({}, ReadStoreRegFile(exchange::MakeRegFile({}).Get(), Latin1Text));
}

TEST(RegFileReader, NamesPairWithoutLetterCase) {
    const std::u16string text =
        kHead + kUsers +
        u"\"Alice\"=hex:01\r\n\"\u00c4rger\"=hex:02\r\n\"\u0416\u0451\"=hex:03\r\n" +
        u"\"x\u0100\"=hex:04\r\n" + kCookies +
        u"\"\u00e4RGER\"=hex:12\r\n\"\u0436\u0401\"=hex:13\r\n\"ALICE\"=hex:11\r\n\"X\u0101\"=hex:"
        u"14\r\n";
    ExpectCertificates({{u"Alice", "\x01", "\x11"},
                        {u"\u00c4rger", "\x02", "\x12"},
                        {u"\u0416\u0451", "\x03", "\x13"},
                        {u"x\u0100", "\x04", "\x14"}},
                       ReadStoreRegFile(Utf16File(text)));
}

// As "reg export" writes a long value, and as a person may edit the file: the hex digits in upper
// case, LF line ends, comments, blanks, the key paths in other letter case, a key twice.
TEST(RegFileReader, ReadsAnExportWithContinuationLines) {
    const std::u16string text =
        u"Windows Registry Editor Version 5.00\n"
        u"\n"
        u"; exported\n"
        u"[hkey_local_machine\\software\\LOCKWELL\\users_lkw_20]\n"
        u"\"a rather long user name\"=hex:01,02,03,04,05,06,07,08,09,0A,0B,0C,0D,0E,0F,10,\\\n"
        u"  11,12,13,14,15,16,17,18,19,1a,1b,1c,1d,1e,1f,20,21,22,23,24,25,26,27,28,29,\\\n"
        u"  2a\n"
        u"   @=hex:\\\n"
        u"\n"
        u"\t; a note\n"
        u"[HKEY_LOCAL_MACHINE\\SOFTWARE\\Lockwell\\Cookies_lkw_20]\r\n"
        u"@=hex:Ff,\\\n"
        u"\t\tfE\n"
        u"[HKEY_LOCAL_MACHINE\\SOFTWARE\\Lockwell\\Users_lkw_20]\r\n"
        u"\"b\"=hex:7f\n"
        u"[HKEY_LOCAL_MACHINE\\SOFTWARE\\Lockwell\\Cookies_lkw_20]\r\n"
        u"\"b\"=hex:80\r\n"
        u"\"A RATHER LONG USER NAME\"=hex:aa";
    ExpectCertificates({{u"a rather long user name", KeyOf(42, 0), "\xaa"},
                        {u"", "", "\xff\xfe"},
                        {u"b", "\x7f", "\x80"}},
                       ReadStoreRegFile(Utf16File(text)));
    // The same text without a byte order mark, in the ANSI code page.
    std::string ansi(text.begin(), text.end());
    ExpectCertificates({{u"a rather long user name", KeyOf(42, 0), "\xaa"},
                        {u"", "", "\xff\xfe"},
                        {u"b", "\x7f", "\x80"}},
                       ReadStoreRegFile(ansi, Latin1Text));
    ExpectCertificates({},
                       ReadStoreRegFile("REGEDIT4\n" + std::string(kUsers.begin(), kUsers.end()) +
                                            std::string(kCookies.begin(), kCookies.end()),
                                        Latin1Text));
}

TEST(RegFileReader, RefusesWhatIsNoStoreOfCertificates) {
    const std::u16string a = u"\"a\"=hex:01\r\n";
    const std::u16string name128 = u"\"" + std::u16string(128, u'n') + u"\"=hex:01\r\n";
    const std::u16string key128 = u"\"a\"=hex:" + std::u16string(128 * 3 - 1, u'1') + u"\r\n";
    std::u16string key128Text = key128;
    for (std::size_t i = 10; i < key128Text.size() - 2; i += 3) {
        key128Text[i] = u',';
    }
    const struct {
        std::u16string text;
        std::size_t line;
        const char* what; // in the reason
    } cases[] = {
        {u"", 1, "the first line is not \"Windows Registry"},
        {u"Windows Registry Editor Version 4.00\r\n" + kUsers + kCookies, 1,
         "the first line is not \"Windows Registry"},
        {u"REGEDIT4\r\n" + kUsers + kCookies, 1,
         "the first line is not \"Windows Registry"}, // not in UTF-16
        {kHead + a + kUsers + a + kCookies + a, 3, "a value before the first key line"},
        {kHead + u"[HKEY_LOCAL_MACHINE\\SOFTWARE\\Lockwell\\Other_lkw_20]\r\n", 3,
         "a key other than the Users and Cookies"},
        {kHead + u"[HKEY_LOCAL_MACHINE\\SOFTWARE\\Lockwell\\Users_lkw_20\\Sub]\r\n", 3,
         "a key other than the Users and Cookies"},
        {kHead + u"[HKEY_CURRENT_USER\\SOFTWARE\\Lockwell\\Users_lkw_20]\r\n", 3,
         "a key other than the Users and Cookies"},
        {kHead + u"[HKLM\\SOFTWARE\\Lockwell\\Users_lkw_20]\r\n", 3,
         "a key other than the Users and Cookies"},
        {kHead + u"[-HKEY_LOCAL_MACHINE\\SOFTWARE\\Lockwell\\Users_lkw_20]\r\n", 3,
         "a key deleted"},
        {kHead + u"[HKEY_LOCAL_MACHINE\\SOFTWARE\\Lockwell\\Users_lkw_20] x\r\n", 3,
         "a key line that does not end in \"]\""},
        {kHead + kUsers + u"\"a\"=-\r\n" + kCookies, 4, "a value deleted"},
        {kHead + kUsers + u"\"a\"=dword:00000001\r\n" + kCookies, 4, "a value that is not binary"},
        {kHead + kUsers + u"\"a\"=hex(2):41,00,00,00\r\n" + kCookies, 4,
         "a value that is not binary"},
        {kHead + kUsers + u"\"a\"=\"text\"\r\n" + kCookies, 4, "a value that is not binary"},
        {kHead + kUsers + u"\"a\" = hex:01\r\n" + kCookies, 4,
         "the value name is not followed by \"=\""},
        {kHead + kUsers + u"\"a\"=hex:0g\r\n" + kCookies, 4, "bad hex data"},
        {kHead + kUsers + u"\"a\"=hex:1\r\n" + kCookies, 4, "bad hex data"},
        {kHead + kUsers + u"\"a\"=hex:01,\r\n" + kCookies, 4, "bad hex data"},
        {kHead + kUsers + u"\"a\"=hex:01,,02\r\n" + kCookies, 4, "bad hex data"},
        {kHead + kUsers + u"\"a\"=hex:0102\r\n" + kCookies, 4, "bad hex data"},
        {kHead + kUsers + u"\"a\"=hex:01, 02\r\n" + kCookies, 4, "bad hex data"},
        {kHead + kUsers + u"\"a\"=hex:01 \r\n" + kCookies, 4, "bad hex data"},
        {kHead + kUsers + u"\"a\"=hex:01,\\\r\n  02,\\\r\n  0x\r\n" + kCookies, 6, "bad hex data"},
        {kHead + kUsers + u"\"a\"=hex:01,\\\r\n", 5, "the value goes on past the end of the"},
        {kHead + kUsers + a + u"\"A\"=hex:02\r\n" + kCookies + a, 5,
         "the value name of line 4 again"},
        {kHead + kUsers + u"@=hex:01\r\n\"\"=hex:02\r\n" + kCookies, 5,
         "the value name of line 4 again"},
        {kHead + kUsers + a + kCookies + a + u"\r\n" + a, 8, "the value name of line 6 again"},
        {kHead + kUsers + name128 + kCookies + name128, 4,
         "a value name of more than 127 characters"},
        {kHead + kUsers + u"\"a\tb\"=hex:01\r\n" + kCookies, 4,
         "a control character in a value name"},
        {kHead + kUsers + u"\"a\x7f\"=hex:01\r\n" + kCookies, 4,
         "a control character in a value name"},
        {kHead + kUsers + u"\"\x1b\"=hex:01\r\n" + kCookies, 4,
         "a control character in a value name"},
        {kHead + kUsers + key128Text + kCookies, 4, "a key of more than 127 bytes"},
        {kHead + kUsers + u"\"a\"=hex:01,00,02\r\n" + kCookies, 4, "a zero byte in a key"},
        {kHead + kUsers + a + u"\"b\"=hex:02\r\n" + kCookies + a, 5,
         "a value whose name the Cookies key lacks"},
        {kHead + kUsers + a + kCookies + a + u"\"c\"=hex:03\r\n", 7,
         "a value whose name the Users key lacks"},
        {kHead + kUsers + u"\"b\"=hex:02\r\n" + kCookies + u"\"c\"=hex:03", 4,
         "a value whose name the Cookies key lacks"}, // the earlier of two
        {kHead + kUsers + a, 5, "the Cookies key is missing"},
        {kHead + kCookies, 4, "the Users key is missing"}, // no Users key
        {kHead + kUsers + u"x=1\r\n" + kCookies, 4, "neither a key, a value, a comment nor"},
        {kHead + kUsers + u"\"a=hex:01\r\n" + kCookies, 4, "the value name has no closing quote"},
        {kHead + kUsers + u"\"a\\x\"=hex:01\r\n" + kCookies, 4,
         "a backslash in a value name escapes"},
        {kHead + kUsers + u"\"a\"=hex:01\r\"b\"=hex:02\r\n" + kCookies, 4,
         "a carriage return without a line feed"},
        {kHead + kUsers + u"\"a\"=hex:01\0\r\n"s + kCookies, 4, "a zero character"},
        {kHead + kUsers + u"hex:01\r\n" + kCookies, 4, "neither a key, a value, a comment nor"},
    };
    for (const auto& c : cases) {
        const RegFileReading reading = ReadStoreRegFile(Utf16File(c.text));
        const std::string shown(c.text.begin(), c.text.end());
        EXPECT_EQ(RegFileStatus::Refused, reading.status) << shown;
        EXPECT_EQ(c.line, reading.line) << shown << reading.reason;
        EXPECT_NE(std::string::npos, reading.reason.find(c.what)) << reading.reason;
        EXPECT_EQ(0u, reading.reason.find("Line " + std::to_string(c.line) + ": "))
            << reading.reason;
        EXPECT_TRUE(reading.certificates.empty()) << shown;
    }
}

TEST(RegFileReader, RefusesOtherEncodings) {
    const std::string text = "Windows Registry Editor Version 5.00\r\n\r\n" +
                             std::string(kUsers.begin(), kUsers.end()) +
                             std::string(kCookies.begin(), kCookies.end());
    std::string bigEndian = "\xFE\xFF";
    std::string noMark;
    for (char c : text) {
        bigEndian += "\0"s + c;
        noMark += c + "\0"s;
    }
    for (const std::string& bytes :
         {"\xEF\xBB\xBF" + text, bigEndian, noMark, "\xFF\xFE" + noMark + "x", "\xFF\xFE\x01"s}) {
        const RegFileReading reading = ReadStoreRegFile(bytes, Latin1Text);
        EXPECT_EQ(RegFileStatus::Encoding, reading.status) << bytes;
        EXPECT_FALSE(reading.reason.empty());
    }
    EXPECT_EQ(RegFileStatus::Encoding, ReadStoreRegFile(text).status); // no decoder
    EXPECT_EQ(RegFileStatus::Read, ReadStoreRegFile(text, Latin1Text).status);
    EXPECT_EQ(RegFileStatus::Read, ReadStoreRegFile("\xFF\xFE" + noMark).status);
}

} // namespace
