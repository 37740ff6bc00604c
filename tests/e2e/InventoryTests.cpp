// The inventory that wardkeepc lists for the tools that collect what many machines hold, read
// back with a JSON and a CSV reader from the real program's output, over a store that holds every
// problem at once.
#include "E2eDriver.h"
#include "E2eStore.h"
#include "support/Json.h"

#include <gtest/gtest.h>

#include <map>

using namespace e2e;
using testing_support::JsonReader;
using testing_support::JsonValue;

namespace {

// What the inventory must say of a name: its sizes (-1: absent) and problems, space-separated.
struct Expected {
    long userKeyBytes;
    long cookieKeyBytes;
    std::string problems;
};

const std::string kLongName = "0" + std::string(139, 'n'); // enumerated before the others

class InventoryTest : public PrefixStoreTest {
  protected:
    // Every problem at once, and names that need escaping; UTF-16 names as the registry has them.
    std::map<std::u16string, Expected> SeedEveryProblem() {
        SeedValue(kUsersKey, kLongName, "\x01");
        SeedValue(kCookiesKey, kLongName, "\x02");
        SeedValue(kUsersKey, "alice", std::string(16, '\x11'));
        SeedValue(kCookiesKey, "alice", std::string(16, '\x22'));
        SeedValue(kUsersKey, "bob", "\x01");                         // no CookieKey
        SeedValue(kCookiesKey, "carol", "\x01");                     // no UserKey
        SeedValue(kUsersKey, "dave", "\x01\x02\x03\x04", REG_DWORD); // of another type
        SeedValue(kCookiesKey, "dave", "\x01");                      //
        SeedValue(kUsersKey, "erin", std::string(128, 'k'));         // more than a file carries
        SeedValue(kCookiesKey, "erin", "\x01");                      //
        SeedValue(kUsersKey, "f\rg", "\x01");                        // a line break
        SeedValue(kCookiesKey, "f\rg", "\x01");                      //
        SeedValue(kUsersKey, "q\"b\\x,y", "\x01");                   // JSON and CSV need care
        SeedValue(kCookiesKey, "q\"b\\x,y", "\x01");                 //
        SeedValue(kUsersKey, "Eve", "\x01");                         // paired whatever the case
        SeedValue(kCookiesKey, "EVE", "\x01");                       //
        SeedValue(kUsersKey, std::wstring(L"\x03b1lice"), "\x01");
        SeedValue(kCookiesKey, std::wstring(L"\x03b1lice"), "\x01");
        return {
            {std::u16string(kLongName.begin(), kLongName.end()), {1, 1, "name-too-long"}},
            {u"alice", {16, 16, ""}},
            {u"bob", {1, -1, "no-cookie-key"}},
            {u"carol", {-1, 1, "no-user-key"}},
            {u"dave", {4, 1, "not-binary"}},
            {u"erin", {128, 1, "key-too-long"}},
            {u"f\rg", {1, 1, "control-characters"}},
            {u"q\"b\\x,y", {1, 1, ""}},
            {u"Eve", {1, 1, ""}},
            {u"\x03b1lice", {1, 1, ""}},
        };
    }

    Outcome List(const std::vector<std::string>& args) {
        std::vector<std::string> all = {"list"};
        all.insert(all.end(), args.begin(), args.end());
        return RunProcess(CommandLine(ConsoleProgramPath(), all), "", m_folder);
    }

    TempFolder m_folder;
};

std::string Joined(const std::vector<JsonValue>& problems) {
    std::string joined;
    for (const JsonValue& problem : problems) {
        joined +=
            (joined.empty() ? "" : " ") + std::string(problem.string.begin(), problem.string.end());
    }
    return joined;
}

std::u16string FromUtf8(const std::string& utf8) {
    int length = static_cast<int>(utf8.size());
    int chars = ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), length, nullptr, 0);
    std::wstring wide(chars > 0 ? static_cast<std::size_t>(chars) : 0, L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), length, wide.data(), chars);
    return std::u16string(wide.begin(), wide.end());
}

long Size(const JsonValue* value) {
    return value->type == JsonValue::Type::Null ? -1 : static_cast<long>(value->number);
}

TEST_F(InventoryTest, JsonListsEveryValueWithItsProblemsInAscii) {
    std::map<std::u16string, Expected> expected = SeedEveryProblem();
    Outcome outcome = List({"--format", "json"});
    ASSERT_EQ(0u, outcome.exitCode) << outcome.err;
    EXPECT_EQ("", outcome.err);
    for (char c : outcome.out) {
        ASSERT_LT(static_cast<unsigned char>(c), 0x80u) << "not ASCII: " << outcome.out;
    }
    std::optional<JsonValue> document = JsonReader::Parse(outcome.out);
    ASSERT_TRUE(document) << outcome.out;
    EXPECT_EQ(1.0, document->Find("format")->number);
    EXPECT_EQ(JsonValue::Type::String, document->Find("computer")->type);
    EXPECT_FALSE(document->Find("computer")->string.empty());
    const std::vector<JsonValue>& certificates = document->Find("certificates")->array;
    ASSERT_EQ(expected.size(), certificates.size()) << outcome.out;
    for (const JsonValue& certificate : certificates) {
        const std::u16string& userId = certificate.Find("userId")->string;
        auto found = expected.find(userId);
        ASSERT_NE(expected.end(), found) << outcome.out;
        EXPECT_EQ(found->second.userKeyBytes, Size(certificate.Find("userKeyBytes")));
        EXPECT_EQ(found->second.cookieKeyBytes, Size(certificate.Find("cookieKeyBytes")));
        EXPECT_EQ(found->second.problems, Joined(certificate.Find("problems")->array));
        EXPECT_EQ(4u, certificate.object.size()) << "no other field: never a key byte";
    }
    // The Users key's order (a name the window's list stops at comes first and hides nothing),
    // then the CookieKeys without a UserKey.
    EXPECT_EQ(std::u16string(kLongName.begin(), kLongName.end()),
              certificates.front().Find("userId")->string);
    EXPECT_EQ(u"carol", certificates.back().Find("userId")->string);
}

TEST_F(InventoryTest, CsvIsReadBackAsTheStoreHoldsIt) {
    std::map<std::u16string, Expected> expected = SeedEveryProblem();
    Outcome outcome = List({"--format", "csv"});
    ASSERT_EQ(0u, outcome.exitCode) << outcome.err;
    ASSERT_EQ("\xEF\xBB\xBF", outcome.out.substr(0, 3)) << "no byte-order mark";
    auto rows = testing_support::ReadCsv(outcome.out.substr(3));
    ASSERT_TRUE(rows) << outcome.out;
    ASSERT_EQ(expected.size() + 1, rows->size());
    EXPECT_EQ((std::vector<std::string>{"userId", "userKeyBytes", "cookieKeyBytes", "problems"}),
              (*rows)[0]);
    for (std::size_t i = 1; i < rows->size(); ++i) {
        const std::vector<std::string>& row = (*rows)[i];
        ASSERT_EQ(4u, row.size());
        std::u16string name = FromUtf8(row[0]);
        auto found = expected.find(name);
        ASSERT_NE(expected.end(), found) << row[0];
        const Expected& e = found->second;
        EXPECT_EQ(e.userKeyBytes < 0 ? "" : std::to_string(e.userKeyBytes), row[1]);
        EXPECT_EQ(e.cookieKeyBytes < 0 ? "" : std::to_string(e.cookieKeyBytes), row[2]);
        EXPECT_EQ(e.problems, row[3]);
    }
}

TEST_F(InventoryTest, AnUnknownFormatIsAUsageErrorAndPlainListStaysAsItWas) {
    SeedValue(kUsersKey, "alice", "\x01");
    SeedValue(kCookiesKey, "alice", "\x01");
    Outcome unknown = List({"--format", "xml"});
    EXPECT_EQ(2u, unknown.exitCode);
    EXPECT_EQ("", unknown.out);
    EXPECT_NE(std::string::npos, unknown.err.find("\"xml\"")) << unknown.err;
    Outcome plain = List({});
    EXPECT_EQ(0u, plain.exitCode);
    EXPECT_EQ("alice\r\n", plain.out);
    Outcome version = RunProcess(CommandLine(ConsoleProgramPath(), {"--version"}), "", m_folder);
    EXPECT_EQ(0u, version.exitCode);
    EXPECT_EQ(0u, version.out.find("wardkeepc ")) << version.out;
    EXPECT_EQ(std::string::npos, version.out.find_first_not_of("wardkeepc 0123456789.\r\n"))
        << version.out;
}

} // namespace
