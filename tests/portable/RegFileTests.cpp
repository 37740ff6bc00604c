// The registry file, without Windows: built natively under the sanitizers and into the Windows
// test program.
#include "exchange/RegFile.h"
#include "framework/Exceptions.h"

#include <gtest/gtest.h>

namespace {

using namespace std::string_literals;
using exchange::MakeRegFile;
using exchange::RegCertificate;
using keys::KeyBytes;

const std::string kHead = "Windows Registry Editor Version 5.00\r\n\r\n"
                          "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Lockwell\\Users_lkw_20]\r\n";
const std::string kCookies = "\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Lockwell\\Cookies_lkw_20]\r\n";

TEST(RegFile, WholeFile) {
    EXPECT_EQ(kHead + kCookies, MakeRegFile({}).Get());
    const std::vector<RegCertificate> certificates = {
        {"alice", KeyBytes("\x01\x23\x45\x67\x89\xab\xcd\xef\xfe\xdc\xba\x98\x76\x54\x32\x10"),
         KeyBytes("\x0f\xf0\x80")},
        {"bob", KeyBytes(), KeyBytes("\xff")},
        {"alice", KeyBytes("\x7f"), KeyBytes()}, // a repeat: both lines stay, in order
    };
    EXPECT_EQ("Windows Registry Editor Version 5.00\r\n"
              "\r\n"
              "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Lockwell\\Users_lkw_20]\r\n"
              "\"alice\"=hex:01,23,45,67,89,ab,cd,ef,fe,dc,ba,98,76,54,32,10\r\n"
              "\"bob\"=hex:\r\n"
              "\"alice\"=hex:7f\r\n"
              "\r\n"
              "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Lockwell\\Cookies_lkw_20]\r\n"
              "\"alice\"=hex:0f,f0,80\r\n"
              "\"bob\"=hex:ff\r\n"
              "\"alice\"=hex:\r\n",
              MakeRegFile(certificates).Get());
}

TEST(RegFile, ValueNamesAreEscaped) {
    const struct {
        std::string userId;
        std::string written;
    } cases[] = {
        {"plain user", R"("plain user")"},
        {R"(dom\user)", R"("dom\\user")"},
        {R"(say "hi")", R"("say \"hi\"")"},
        {R"(\"\)", R"("\\\"\\")"},  // a last backslash must not escape the closing quote
        {"Ren\xe9", "\"Ren\xe9\""}, // bytes of the ANSI code page as they are
        {"", "@"},                  // the key's unnamed value
        {"@", R"("@")"},
        {"\t[x]=y;", "\"\t[x]=y;\""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(kHead + c.written + "=hex:01\r\n" + kCookies + c.written + "=hex:02\r\n",
                  MakeRegFile({{c.userId, KeyBytes("\x01"), KeyBytes("\x02")}}).Get())
            << c.userId;
    }
}

TEST(RegFile, LineBreaksAndZeroBytesAreNoValueNames) {
    for (const std::string& userId : {"a\rb"s, "a\nb"s, "\r\n"s, "a\0b"s}) {
        EXPECT_FALSE(exchange::IsRegValueName(userId)) << userId;
        // Refused wherever it stands: it would end its line and start lines of its own.
        EXPECT_THROW(MakeRegFile({{"ok", {}, {}}, {userId, {}, {}}}), fw::CFrameworkException);
    }
    EXPECT_TRUE(exchange::IsRegValueName("a b\t\x1a\xff"));
}

// Shift-JIS, as code page 932 has it: the first bytes of its double-byte characters.
bool ShiftJisLeadByte(unsigned char byte) {
    return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}

TEST(RegFile, SecondBytesOfDoubleByteCharactersAreNoEscapes) {
    const struct {
        std::string userId;
        std::string written;
    } cases[] = {
        {"\x95\x5c", "\"\x95\x5c\""},         // one character whose second byte is 0x5C
        {"\x95\x5c\\", "\"\x95\x5c\\\\\""},   // then a real backslash
        {"a\\\x95\x40", "\"a\\\\\x95\x40\""}, // a real backslash, then a character
        {"\xe9\x5c", "\"\xe9\x5c\""},         // 0xE9 starts a character in this code page
    };
    for (const auto& c : cases) {
        EXPECT_TRUE(exchange::IsRegValueName(c.userId, ShiftJisLeadByte)) << c.userId;
        EXPECT_EQ(
            kHead + c.written + "=hex:01\r\n" + kCookies + c.written + "=hex:02\r\n",
            MakeRegFile({{c.userId, KeyBytes("\x01"), KeyBytes("\x02")}}, ShiftJisLeadByte).Get())
            << c.userId;
    }
    // A first byte alone, or before a quote or a control character, would swallow what follows.
    for (const std::string& userId : {"a\x95"s, "\x81\"x"s, "\x81\tx"s}) {
        EXPECT_TRUE(exchange::IsRegValueName(userId)) << userId;
        EXPECT_FALSE(exchange::IsRegValueName(userId, ShiftJisLeadByte)) << userId;
        EXPECT_THROW(MakeRegFile({{userId, {}, {}}}, ShiftJisLeadByte), fw::CFrameworkException);
    }
}

} // namespace

namespace {

// `text` (UTF-16 units) as UTF-16LE bytes after a byte order mark.
std::string Utf16Le(std::u16string_view text) {
    std::string bytes = "\xFF\xFE";
    for (char16_t c : text) {
        bytes += static_cast<char>(c & 0xFF);
        bytes += static_cast<char>(c >> 8);
    }
    return bytes;
}

exchange::RegValue16 Value(std::u16string name, std::string_view data) {
    return {std::move(name), fw::Secret(data)};
}

// Any name the registry holds, as "reg export" writes it: a Greek letter, a quote and a
// backslash escaped, the unnamed value as @, a key byte of every value.
TEST(RegFile, UnicodeFileHoldsEveryNameExactly) {
    std::vector<exchange::RegValue16> users;
    users.push_back(Value(u"\u03b1lice", "\x01\xff"));
    users.push_back(Value(u"a\\\"b", ""));
    std::vector<exchange::RegValue16> cookies;
    cookies.push_back(Value(u"", std::string(1, '\0') + "\x10"));
    EXPECT_EQ(Utf16Le(u"Windows Registry Editor Version 5.00\r\n"
                      u"\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Lockwell\\Users_lkw_20]\r\n"
                      u"\"\u03b1lice\"=hex:01,ff\r\n"
                      u"\"a\\\\\\\"b\"=hex:\r\n"
                      u"\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Lockwell\\Cookies_lkw_20]\r\n"
                      u"@=hex:00,10\r\n"
                      u"\r\n"),
              exchange::MakeUnicodeRegFile(users, cookies).Get());
    for (const std::u16string& name :
         {std::u16string(u"a\rb"), std::u16string(u"a\nb"), std::u16string(u"a\0b", 3)}) {
        std::vector<exchange::RegValue16> refused;
        refused.push_back(Value(name, "\x01"));
        EXPECT_FALSE(exchange::IsRegValueName16(name));
        EXPECT_THROW(exchange::MakeUnicodeRegFile(refused, {}), fw::CFrameworkException);
    }
}

} // namespace
