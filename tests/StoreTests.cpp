// The certificate store against the registry itself (Wine's, under a scratch key).
#include "support/TestSupport.h"

#include "framework/App.h"
#include "framework/Registry.h"
#include "framework/Text.h"
#include "store/CertificateStore.h"
#include "store/Certificates.h"
#include "ui/WardkeepDlg.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

using namespace testing_support;

namespace {

const std::string k15Bytes = "\x01\x02\x03\x04\x05\x06\x07\x08\x09\x0a\x0b\x0c\x0d\x0e\x0f";
const std::string k16Bytes = k15Bytes + "\x10";
const std::string k17Bytes = k16Bytes + "\x11";

class StoreTest : public testing::Test {
  protected:
    // Store operations run on behalf of a dialog class, which reports their exceptions.
    CWardkeepDlg dialog;

    static std::string OutOfMemoryReport() { return "CWardkeepDlg::OnException(): Out of memory."; }
};

// The bytes read, or "<none>" when the read failed.
std::string Read(const std::optional<store::KeyBytes>& key) {
    return key ? std::string(key->Bytes()) : "<none>";
}

// ---- Listing --------------------------------------------------------------------------------

struct ListingCase : NamedCase {
    std::vector<RegistryValue> users;
    std::vector<std::string> expected; // in enumeration order (Wine enumerates sorted by name)
};

class ListUserIdsTest : public StoreTest, public testing::WithParamInterface<ListingCase> {};

TEST_P(ListUserIdsTest, ListsReadableBinaryValuesInEnumerationOrder) {
    for (const RegistryValue& value : GetParam().users) {
        SetValue(kUsersPath, value.name, value.type, value.data);
    }
    EXPECT_EQ(GetParam().expected, store::ListUserIds(dialog));
    EXPECT_TRUE(MessageBoxes().calls.empty());
}

const std::string k127Chars(127, 'n');
const std::string k128Chars(128, 'a');

INSTANTIATE_TEST_SUITE_P(
    Store, ListUserIdsTest,
    testing::Values(ListingCase{{"MixedKeyLengths"},
                                {{"carol", REG_BINARY, k15Bytes},
                                 {"dave", REG_BINARY, k16Bytes},
                                 {"erin", REG_BINARY, "\x07"},
                                 {"frank", REG_BINARY, ""},
                                 {"grace", REG_BINARY, std::string(128, 'x')}},
                                {"carol", "dave", "erin", "frank", "grace"}},
                    ListingCase{{"OtherTypesSkipped"},
                                {{"a-binary", REG_BINARY, "\x01"},
                                 {"b-text", REG_SZ, std::string("text", 5)},
                                 {"c-number", REG_DWORD, std::string("\x01\x00\x00\x00", 4)},
                                 {"d-binary", REG_BINARY, "\x02"}},
                                {"a-binary", "d-binary"}},
                    ListingCase{{"UnnamedValueIsAnEmptyUserId"},
                                {{"", REG_BINARY, "\x01"}, {"zoe", REG_BINARY, "\x02"}},
                                {"", "zoe"}},
                    ListingCase{
                        "LongestNameListed", {{k127Chars, REG_BINARY, "\x01"}}, {k127Chars}},
                    // A name over 127 characters or data over 128 bytes cannot be read into the
                    // list's buffers; the values after it are still listed.
                    ListingCase{{"OverlongNameSkipped"},
                                {{k128Chars, REG_BINARY, "\x01"},
                                 {"b-after", REG_BINARY, "\x02"},
                                 {"c-after", REG_BINARY, "\x03"}},
                                {"b-after", "c-after"}},
                    ListingCase{{"OverlongDataSkipped"},
                                {{"a-first", REG_BINARY, "\x01"},
                                 {"b-huge", REG_BINARY, std::string(129, 'x')},
                                 {"c-after", REG_BINARY, "\x03"}},
                                {"a-first", "c-after"}},
                    ListingCase{{"EmptyKey"}, {}, {}}),
    CaseName<ListingCase>);

TEST_F(StoreTest, ListFollowsTheRegistryEnumerationOrder) {
    for (const char* name : {"mike", "Alpha", "zulu", "bravo", "Charlie"}) {
        SetBinary(kUsersPath, name, "\x01");
    }
    EXPECT_EQ(BinaryValueNames(kUsersPath), store::ListUserIds(dialog));
}

TEST_F(StoreTest, ListWithoutUsersKeyOrWithFailingRegistryIsEmpty) {
    EXPECT_TRUE(store::ListUserIds(dialog).empty());
    SetBinary(kUsersPath, "alice", "\x01");
    InjectRegistryFailure();
    EXPECT_TRUE(store::ListUserIds(dialog).empty());
    EXPECT_TRUE(MessageBoxes().calls.empty());
}

TEST_F(StoreTest, MemoryExhaustionWhileListingKeepsTheNamesReadBeforeIt) {
    std::vector<std::string> all;
    for (int i = 0; i < 6; ++i) {
        all.push_back("certificate-with-a-long-name-" + std::to_string(i));
        SetBinary(kUsersPath, all.back(), "\x01");
    }
    ASSERT_EQ(all, store::ListUserIds(dialog));
    for (int failAt = 0; failAt < 20; ++failAt) {
        MessageBoxes().calls.clear();
        std::vector<std::string> listed;
        bool fired = false;
        {
            FailingAllocation failure(failAt);
            listed = store::ListUserIds(dialog);
            fired = FailingAllocation::Fired();
        }
        ASSERT_LE(listed.size(), all.size());
        EXPECT_TRUE(std::equal(listed.begin(), listed.end(), all.begin())) << "fail at " << failAt;
        if (fired) {
            EXPECT_LT(listed.size(), all.size());
            ASSERT_EQ(1u, MessageBoxes().calls.size()) << "fail at " << failAt;
            EXPECT_EQ(OutOfMemoryReport(), MessageBoxes().calls[0].text);
        } else {
            EXPECT_EQ(all, listed);
            EXPECT_TRUE(MessageBoxes().calls.empty());
        }
    }
}

// ---- Writing --------------------------------------------------------------------------------

TEST_F(StoreTest, WriteCreatesTheKeysAndStoresExactlyTheKeyBytes) {
    EXPECT_TRUE(store::WriteKey(dialog, store::kUsersKey, "alice", store::KeyBytes(k16Bytes)));
    EXPECT_TRUE(store::WriteKey(dialog, store::kCookiesKey, "alice", store::KeyBytes()));
    RegistryValue user, cookie;
    ASSERT_TRUE(GetValue(kUsersPath, "alice", user));
    EXPECT_EQ(static_cast<DWORD>(REG_BINARY), user.type);
    EXPECT_EQ(k16Bytes, user.data);
    ASSERT_TRUE(GetValue(kCookiesPath, "alice", cookie));
    EXPECT_EQ(static_cast<DWORD>(REG_BINARY), cookie.type);
    EXPECT_EQ("", cookie.data);
}

TEST_F(StoreTest, WriteReplacesDataAndLengthUnderAnySpellingOfTheName) {
    store::WriteKey(dialog, store::kUsersKey, "zeta", store::KeyBytes(k16Bytes));
    store::WriteKey(dialog, store::kUsersKey, "ZETA", store::KeyBytes("\x05\x06"));
    std::vector<RegistryValue> values = EnumerateValues(kUsersPath);
    ASSERT_EQ(1u, values.size());
    EXPECT_EQ("\x05\x06", values[0].data);
}

TEST_F(StoreTest, WriteOfAnEmptyUserIdSetsTheUnnamedValue) {
    store::WriteKey(dialog, store::kUsersKey, "", store::KeyBytes("\x42"));
    RegistryValue value;
    ASSERT_TRUE(GetValue(kUsersPath, "", value));
    EXPECT_EQ("\x42", value.data);
}

TEST_F(StoreTest, AFailedWriteSaysSoWithoutAMessage) {
    InjectRegistryFailure();
    EXPECT_FALSE(store::WriteKey(dialog, store::kUsersKey, "alice", store::KeyBytes(k16Bytes)));
    EXPECT_TRUE(MessageBoxes().calls.empty());
    LiftRegistryFailure();
    EXPECT_FALSE(HasValue(kUsersPath, "alice"));
}

// ---- Reading --------------------------------------------------------------------------------

struct ReadCase : NamedCase {
    DWORD type;
    std::string stored;
    std::string quiet;           // what the quiet read returns, "<none>" for nothing
    std::string reported;        // what the reported read returns, "<none>" for nothing
    const char* reportedMessage; // nullptr: none
};

class ReadKeyTest : public StoreTest, public testing::WithParamInterface<ReadCase> {};

TEST_P(ReadKeyTest, ReadsUpToTheFirstZeroWithinTheBufferLimit) {
    const ReadCase& c = GetParam();
    SetValue(kUsersPath, "Alice", c.type, c.stored);

    EXPECT_EQ(c.quiet, Read(store::ReadKeyQuiet(dialog, store::kUsersKey, "ALICE")));
    EXPECT_TRUE(MessageBoxes().calls.empty());

    EXPECT_EQ(c.reported, Read(store::ReadKeyReported(dialog, store::kUsersKey, "alice")));
    if (c.reportedMessage == nullptr) {
        EXPECT_TRUE(MessageBoxes().calls.empty());
    } else {
        ASSERT_EQ(1u, MessageBoxes().calls.size());
        EXPECT_EQ(c.reportedMessage, MessageBoxes().calls[0].text);
        EXPECT_EQ("Unexpected Error!", MessageBoxes().calls[0].caption);
        EXPECT_EQ(static_cast<UINT>(MB_OK), MessageBoxes().calls[0].type);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Store, ReadKeyTest,
    testing::Values(
        ReadCase{{"Empty"}, REG_BINARY, "", "", "", nullptr},
        ReadCase{{"SixteenBytes"}, REG_BINARY, k16Bytes, k16Bytes, k16Bytes, nullptr},
        // Whatever a certificate file carries, up to 127 bytes, is read for export.
        ReadCase{{"SeventeenBytes"}, REG_BINARY, k17Bytes, k17Bytes, k17Bytes, nullptr},
        ReadCase{{"LongestKey"},
                 REG_BINARY,
                 std::string(127, 'x'),
                 std::string(127, 'x'),
                 std::string(127, 'x'),
                 nullptr},
        ReadCase{{"CutAtZeroByte"}, REG_BINARY, std::string("ab\0cd", 5), "ab", "ab", nullptr},
        ReadCase{{"LeadingZeroByte"}, REG_BINARY, std::string("\0ab", 3), "", "", nullptr},
        ReadCase{{"AnyTypeReadAsBytes"},
                 REG_DWORD,
                 std::string("\x01\x02\x03\x04", 4),
                 "\x01\x02\x03\x04",
                 "\x01\x02\x03\x04",
                 nullptr},
        ReadCase{{"BufferFull"},
                 REG_BINARY,
                 std::string(128, 'x'),
                 "<none>",
                 std::string(128, 'x'),
                 nullptr},
        ReadCase{
            {"TooLong"}, REG_BINARY, std::string(129, 'x'), "<none>", "<none>", "User Not Found"}),
    CaseName<ReadCase>);

TEST_F(StoreTest, ReportedReadTellsWhetherTheKeyOrTheValueIsMissing) {
    EXPECT_EQ("<none>", Read(store::ReadKeyReported(dialog, store::kUsersKey, "alice")));
    SetBinary(kUsersPath, "bob", "\x01");
    EXPECT_EQ("<none>", Read(store::ReadKeyReported(dialog, store::kUsersKey, "alice")));
    ASSERT_EQ(2u, MessageBoxes().calls.size());
    EXPECT_EQ("User Keys Not Found", MessageBoxes().calls[0].text);
    EXPECT_EQ("User Not Found", MessageBoxes().calls[1].text);
    EXPECT_EQ("<none>", Read(store::ReadKeyQuiet(dialog, store::kUsersKey, "alice")));
    EXPECT_EQ(2u, MessageBoxes().calls.size());
}

TEST_F(StoreTest, ReportedReadMessagesAreOwnedByTheDialog) {
    SetBinary(kUsersPath, "bob", "\x01");
    CWardkeepDlg owner;
    RunModal(owner, [&](HWND window) {
        store::ReadKeyReported(owner, store::kUsersKey, "nobody");
        owner.EndDialog(IDCANCEL);
        ASSERT_EQ(1u, MessageBoxes().calls.size());
        EXPECT_EQ(window, MessageBoxes().calls[0].owner);
    });
}

TEST_F(StoreTest, MemoryExhaustionInAReadIsReportedAndGivesTheEmptyKey) {
    const std::string twentyBytes(20, 'k');
    SetBinary(kUsersPath, "alice", twentyBytes);
    SetBinary(kCookiesPath, "alice", k16Bytes);
    {
        FailingAllocation failure(0);
        EXPECT_EQ("<none>", Read(store::ReadKeyReported(dialog, store::kUsersKey, "alice")));
    }
    ASSERT_EQ(2u, MessageBoxes().calls.size());
    EXPECT_EQ(OutOfMemoryReport(), MessageBoxes().calls[0].text);
    EXPECT_EQ("User Keys Not Found", MessageBoxes().calls[1].text);

    MessageBoxes().calls.clear();
    {
        FailingAllocation failure(0);
        EXPECT_EQ("<none>", Read(store::ReadKeyQuiet(dialog, store::kCookiesKey, "alice")));
    }
    ASSERT_EQ(1u, MessageBoxes().calls.size());
    EXPECT_EQ(OutOfMemoryReport(), MessageBoxes().calls[0].text);
}

// ---- Deleting -------------------------------------------------------------------------------

TEST_F(StoreTest, DeleteRemovesTheCertificateFromBothKeysUnderAnySpelling) {
    for (const char* name : {"Alice", "bob"}) {
        SetBinary(kUsersPath, name, "\x01");
        SetBinary(kCookiesPath, name, "\x02");
    }
    store::DeleteCertificate(dialog, "ALICE");
    EXPECT_FALSE(HasValue(kUsersPath, "alice"));
    EXPECT_FALSE(HasValue(kCookiesPath, "alice"));
    EXPECT_TRUE(HasValue(kUsersPath, "bob"));
    EXPECT_TRUE(HasValue(kCookiesPath, "bob"));
}

TEST_F(StoreTest, DeleteOfAHalfCertificateOrOfNothingIsSilent) {
    SetBinary(kUsersPath, "alice", "\x01");
    store::DeleteCertificate(dialog, "alice");
    EXPECT_FALSE(HasValue(kUsersPath, "alice"));
    store::DeleteCertificate(dialog, "alice");
    InjectRegistryFailure();
    store::DeleteCertificate(dialog, "alice");
    EXPECT_TRUE(MessageBoxes().calls.empty());
}

} // namespace

namespace {

// ---- Names as the registry holds them ----------------------------------------------------------

void SetBinaryW(const std::wstring& name) {
    fw::UniqueHKey key = fw::CreateRegistryKey(HKEY_LOCAL_MACHINE, kUsersPath);
    ASSERT_TRUE(key);
    const BYTE data = 1;
    ASSERT_EQ(ERROR_SUCCESS, ::RegSetValueExW(key.Get(), name.c_str(), 0, REG_BINARY, &data, 1));
}

// A name the code page lacks is never listed as its best-fit look-alike, and a control character
// is shown escaped, never raw.
TEST_F(StoreTest, NamesAreListedExactlyAndShownEscaped) {
    struct Expected {
        std::wstring name;
        const char* userId; // nullptr: the code page cannot hold it
        std::wstring shown;
    };
    const Expected names[] = {
        {L"alice", "alice", L"alice"},
        {L"\x03b1lice", nullptr, L"\\u03B1lice"},
        {L"\xff41lice", nullptr, L"\\uFF41lice"},
        {L"a\rb", "a\rb", L"a\\u000Db"},
        {L"t\tx\x7f", "t\tx\x7f", L"t\\u0009x\\u007F"},
        {L"caf\x00e9", "caf\xe9", L"caf\x00e9"},
    };
    for (const Expected& e : names) {
        SetBinaryW(e.name);
    }
    std::vector<store::ListedUserId> listed = store::ListCertificates(dialog);
    ASSERT_EQ(std::size(names), listed.size());
    for (const Expected& e : names) {
        auto found = std::find_if(listed.begin(), listed.end(),
                                  [&](const store::ListedUserId& l) { return l.name == e.name; });
        ASSERT_NE(listed.end(), found);
        EXPECT_EQ(e.userId != nullptr, found->exact);
        EXPECT_EQ(e.userId != nullptr ? e.userId : "", found->userId);
        EXPECT_EQ(e.shown, found->Shown());
    }
    // Only the names that can be addressed exactly are user IDs.
    EXPECT_EQ(4u, store::ListUserIds(dialog).size());
    EXPECT_EQ("a\\u000Db\\u001B", fw::ShownUserId("a\rb\x1b"));
}

// ---- What a question showed -------------------------------------------------------------------

struct SnapshotCase : NamedCase {
    std::function<void()> meanwhile; // what another program does after the question
    bool written;
};

// How the snapshot is taken and used: a small store is read by enumerating it, one with more
// values than the command asks about by name; one certificate is stored alone or as a bulk.
enum class SnapshotUse { Single, Bulk, BulkInALargerStore };

class SnapshotTest : public StoreTest,
                     public testing::WithParamInterface<std::tuple<SnapshotCase, SnapshotUse>> {};

// Keys are written only over what the user was shown: any change by another program between the
// question and the write, of either value, its type, or a certificate appearing, writes nothing.
TEST_P(SnapshotTest, AChangeSinceTheQuestionWritesNothing) {
    const auto& [change, use] = GetParam();
    SetBinary(kUsersPath, "alice", "old user");
    SetBinary(kCookiesPath, "alice", "old cookie");
    for (int i = 0; use == SnapshotUse::BulkInALargerStore && i < 3; ++i) {
        SetBinary(kUsersPath, "other" + std::to_string(i), "user");
        SetBinary(kCookiesPath, "other" + std::to_string(i), "cookie");
    }
    store::StoreSnapshot seen(dialog, {"alice", "bob"});
    change.meanwhile();
    std::vector<RegistryValue> users = EnumerateValues(kUsersPath);
    std::vector<RegistryValue> cookies = EnumerateValues(kCookiesPath);
    EXPECT_EQ(change.written, seen.StillHolds(dialog));
    const std::vector<exchange::RegCertificate> bob = {
        {"bob", store::KeyBytes("A"), store::KeyBytes("B")}};
    store::SaveResult result = use == SnapshotUse::Single
                                   ? store::SaveCertificate(dialog, "bob", bob[0].userKey,
                                                            bob[0].cookieKey, nullptr, &seen)
                                   : store::SaveCertificates(dialog, bob, seen).result;
    if (change.written) {
        EXPECT_EQ(store::SaveResult::Saved, result);
        EXPECT_TRUE(HasValue(kUsersPath, "bob"));
        return;
    }
    EXPECT_EQ(store::SaveResult::StoreChanged, result);
    EXPECT_EQ(users.size(), EnumerateValues(kUsersPath).size());
    EXPECT_EQ(cookies.size(), EnumerateValues(kCookiesPath).size());
    EXPECT_TRUE(Events().events.empty()) << "an event for a write that did not happen";
    EXPECT_NE(std::string::npos,
              store::CertificateNotSavedText("bob", result).find("another program changed"));
}

std::string
SnapshotCaseName(const testing::TestParamInfo<std::tuple<SnapshotCase, SnapshotUse>>& info) {
    static const char* const kUses[] = {"Single", "Bulk", "BulkInALargerStore"};
    return std::string(std::get<0>(info.param).name) +
           kUses[static_cast<int>(std::get<1>(info.param))];
}

INSTANTIATE_TEST_SUITE_P(
    Store, SnapshotTest,
    testing::Combine(
        testing::Values(SnapshotCase{{"Unchanged"}, [] {}, true},
                        SnapshotCase{{"CookieKeyReplaced"},
                                     [] { SetBinary(kCookiesPath, "alice", "new"); },
                                     false},
                        SnapshotCase{{"UserKeyRewrittenAlike"},
                                     [] { SetValue(kUsersPath, "alice", REG_SZ, "old user"); },
                                     false},
                        SnapshotCase{{"Deleted"}, [] { DeleteValue(kUsersPath, "alice"); }, false},
                        SnapshotCase{{"AppearedInOtherCase"},
                                     [] { SetBinary(kCookiesPath, "BOB", "x"); },
                                     false}),
        testing::Values(SnapshotUse::Single, SnapshotUse::Bulk, SnapshotUse::BulkInALargerStore)),
    SnapshotCaseName);

// A bulk import does what its snapshot showed: a certificate held exactly is left alone, one held
// alike (the same key up to a zero byte) is written again as it is, and only new and replaced
// certificates leave events. Names match whatever their letter case.
TEST_F(StoreTest, ABulkImportCountsWhatTheSnapshotShowedAndWritesOnlyWhatDiffers) {
    SetBinary(kUsersPath, "Same", "user");
    SetBinary(kCookiesPath, "SAME", "cookie");
    SetBinary(kUsersPath, "alike", std::string("user\0old", 8));
    SetBinary(kCookiesPath, "alike", "cookie");
    SetBinary(kUsersPath, "other", "user");
    SetBinary(kCookiesPath, "other", "another cookie");
    const std::vector<exchange::RegCertificate> certificates = {
        {"same", store::KeyBytes("user"), store::KeyBytes("cookie")},
        {"alike", store::KeyBytes("user"), store::KeyBytes("cookie")},
        {"other", store::KeyBytes("user"), store::KeyBytes("cookie")},
        {"new", store::KeyBytes("user"), store::KeyBytes("cookie")},
    };
    store::StoreSnapshot seen(dialog, {"same", "alike", "other", "new"});
    EXPECT_TRUE(store::ImportReplacesCookieKey(seen, "other", store::KeyBytes("cookie")));
    EXPECT_FALSE(store::ImportReplacesCookieKey(seen, "same", store::KeyBytes("cookie")));
    store::BulkSave save = store::SaveCertificates(dialog, certificates, seen);
    ASSERT_EQ(store::SaveResult::Saved, save.result);
    EXPECT_EQ(1u, save.counts[static_cast<int>(store::ImportOutcome::New)]);
    EXPECT_EQ(1u, save.counts[static_cast<int>(store::ImportOutcome::Replaced)]);
    EXPECT_EQ(2u, save.counts[static_cast<int>(store::ImportOutcome::Unchanged)]);
    RegistryValue value;
    ASSERT_TRUE(GetValue(kUsersPath, "alike", value));
    EXPECT_EQ("user", value.data);
    ASSERT_TRUE(GetValue(kCookiesPath, "other", value));
    EXPECT_EQ("cookie", value.data);
    std::vector<std::string> names;
    for (const RegistryValue& user : EnumerateValues(kUsersPath)) {
        names.push_back(user.name);
    }
    EXPECT_EQ((std::vector<std::string>{"alike", "new", "other", "Same"}), names)
        << "the name held exactly keeps its spelling";
    EXPECT_EQ(2u, Events().events.size());
}

} // namespace
