// The audit trail: the events that the store's changes leave, through the event log's seam.
#include "support/TestSupport.h"

#include "keys/KeyDerivation.h"
#include "store/Audit.h"
#include "store/CertificateStore.h"
#include "store/Certificates.h"
#include "ui/WardkeepDlg.h"

#include <gtest/gtest.h>

#include <functional>

using namespace testing_support;

namespace {

constexpr WORD kInformation = EVENTLOG_INFORMATION_TYPE;
constexpr WORD kWarning = EVENTLOG_WARNING_TYPE;

struct ExpectedEvent {
    WORD type;
    DWORD id;
};

// A store as the case begins, an operation on "alice", and the events it must leave.
struct AuditCase : NamedCase {
    std::function<void()> setUp;
    std::function<void(fw::IReporter&)> operation;
    std::vector<ExpectedEvent> expected;
};

void StoreAlice() {
    SetBinary(kUsersPath, "alice", std::string(keys::DeriveUserKey("alice", "pw", "pw").Bytes()));
    SetBinary(kCookiesPath, "alice", "\x05\x06");
}

const keys::KeyBytes kOtherUserKey(std::string_view("\x0a\x0b"));
const keys::KeyBytes kOtherCookieKey(std::string_view("\x0c"));

class AuditTest : public testing::TestWithParam<AuditCase> {
  protected:
    CWardkeepDlg dialog;
};

TEST_P(AuditTest, LeavesOneEventPerChangeNamingTheCertificateTheAccountAndTheProgram) {
    if (GetParam().setUp) {
        GetParam().setUp();
    }
    GetParam().operation(dialog);
    const std::vector<ReportedEvent>& events = Events().events;
    ASSERT_EQ(GetParam().expected.size(), events.size());
    for (std::size_t i = 0; i < events.size(); ++i) {
        EXPECT_EQ(GetParam().expected[i].type, events[i].type);
        EXPECT_EQ(GetParam().expected[i].id, events[i].id);
        // The user ID, the account (with its SID) and the program; nothing more, so never a key
        // or a password. Under the scratch HKEY_LOCAL_MACHINE Wine finds no account names: the
        // account is its SID's text here (DOMAIN\name in the real programs, end to end).
        ASSERT_EQ(3u, events[i].strings.size());
        EXPECT_EQ(L"alice", events[i].strings[0]);
        EXPECT_FALSE(events[i].strings[1].empty());
        EXPECT_EQ(L"wardkeep_tests.exe", events[i].strings[2]);
        EXPECT_TRUE(events[i].forAccount);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Audit, AuditTest,
    testing::Values(
        AuditCase{{"NewCertificate"},
                  nullptr,
                  [](fw::IReporter& r) { store::SaveNewCertificate(r, "alice", "pw", "pw"); },
                  {{kInformation, 1000}}},
        AuditCase{{"NewCertificateOverAnother"},
                  [] { SetBinary(kUsersPath, "ALICE", "\x01"); },
                  [](fw::IReporter& r) { store::SaveNewCertificate(r, "alice", "pw", "pw"); },
                  {{kInformation, 1001}}},
        AuditCase{{"NewCertificateRefused"},
                  InjectRegistryFailure,
                  [](fw::IReporter& r) { store::SaveNewCertificate(r, "alice", "pw", "pw"); },
                  {}},
        AuditCase{{"PasswordChanged"},
                  StoreAlice,
                  [](fw::IReporter& r) {
                      ASSERT_EQ(store::PasswordCheck::Matches,
                                store::CheckPassword(r, "alice", "pw"));
                      store::SaveNewPassword(r, "alice", "new", "new");
                  },
                  {{kInformation, 1002}}},
        AuditCase{{"WrongOldPassword"},
                  StoreAlice,
                  [](fw::IReporter& r) { store::CheckPassword(r, "alice", "guess"); },
                  {{kWarning, 2000}}},
        AuditCase{{"PasswordChangeRefusedByTheRegistry"},
                  [] {
                      StoreAlice();
                      InjectRegistryFailure();
                  },
                  [](fw::IReporter& r) { store::SaveNewPassword(r, "alice", "new", "new"); },
                  {}},
        AuditCase{{"Deleted"},
                  StoreAlice,
                  [](fw::IReporter& r) { store::DeleteCertificate(r, "alice"); },
                  {{kInformation, 1003}}},
        AuditCase{{"HalfACertificateDeleted"},
                  [] { SetBinary(kCookiesPath, "alice", "\x01"); },
                  [](fw::IReporter& r) { store::DeleteCertificate(r, "alice"); },
                  {{kInformation, 1003}}},
        AuditCase{{"NothingToDelete"},
                  nullptr,
                  [](fw::IReporter& r) { store::DeleteCertificate(r, "alice"); },
                  {}},
        AuditCase{{"Imported"},
                  nullptr,
                  [](fw::IReporter& r) {
                      store::SaveCertificate(r, "alice", kOtherUserKey, kOtherCookieKey);
                  },
                  {{kInformation, 1004}}},
        AuditCase{{"ImportReplacedAnother"},
                  StoreAlice,
                  [](fw::IReporter& r) {
                      store::SaveCertificate(r, "alice", kOtherUserKey, kOtherCookieKey);
                  },
                  {{kInformation, 1005}}},
        AuditCase{{"ImportOfTheSameKeysChangesNothing"},
                  [] {
                      SetBinary(kUsersPath, "alice", "\x0a\x0b");
                      SetBinary(kCookiesPath, "alice", "\x0c");
                  },
                  [](fw::IReporter& r) {
                      store::SaveCertificate(r, "alice", kOtherUserKey, kOtherCookieKey);
                  },
                  {}},
        AuditCase{{"ImportRefused"},
                  InjectRegistryFailure,
                  [](fw::IReporter& r) {
                      store::SaveCertificate(r, "alice", kOtherUserKey, kOtherCookieKey);
                  },
                  {}}),
    CaseName<AuditCase>);

// The IDs and types that sites filter on, from the message table.
TEST(Audit, EventIdsAndTypesAreTheDocumentedOnes) {
    const std::pair<store::AuditEvent, ExpectedEvent> documented[] = {
        {store::AuditEvent::CertificateCreated, {kInformation, 1000}},
        {store::AuditEvent::CertificateReplaced, {kInformation, 1001}},
        {store::AuditEvent::PasswordChanged, {kInformation, 1002}},
        {store::AuditEvent::CertificateDeleted, {kInformation, 1003}},
        {store::AuditEvent::CertificateImported, {kInformation, 1004}},
        {store::AuditEvent::CertificateImportReplaced, {kInformation, 1005}},
        {store::AuditEvent::BackupMade, {kInformation, 1006}},
        {store::AuditEvent::WrongOldPassword, {kWarning, 2000}},
    };
    for (const auto& [event, expected] : documented) {
        EXPECT_EQ(expected.id, store::AuditEventId(event));
        EXPECT_EQ(expected.type, store::AuditEventType(event));
    }
}

// A certificate already stored under a name with a line break (by another tool) is deleted
// exactly, and its event shows the break escaped: a name cannot forge a line of the log.
TEST(Audit, ControlCharactersInANameAreEscapedInTheEvent) {
    CWardkeepDlg dialog;
    SetBinary(kUsersPath, "alice\r\nUser: admin", "\x01");
    store::DeleteCertificate(dialog, "alice\r\nUser: admin");
    EXPECT_FALSE(HasValue(kUsersPath, "alice\r\nUser: admin"));
    ASSERT_EQ(1u, Events().events.size());
    EXPECT_EQ(L"alice\\u000D\\u000AUser: admin", Events().events[0].strings[0]);
}

// A log that cannot be written neither blocks nor undoes the change; the dialog says so.
TEST(Audit, AnEventThatCannotBeWrittenLeavesTheChangeAndIsTold) {
    CWardkeepDlg dialog;
    Events().result = ERROR_ACCESS_DENIED;
    EXPECT_EQ(store::SaveResult::Saved,
              store::SaveCertificate(dialog, "alice", kOtherUserKey, kOtherCookieKey));
    EXPECT_TRUE(HasValue(kUsersPath, "alice"));
    EXPECT_TRUE(HasValue(kCookiesPath, "alice"));
    ASSERT_EQ(1u, MessageBoxes().calls.size());
    const MessageBoxCall& box = MessageBoxes().calls[0];
    EXPECT_EQ("Event Log", box.caption);
    EXPECT_EQ(static_cast<UINT>(MB_OK | MB_ICONWARNING), box.type);
    EXPECT_NE(std::string::npos, box.text.find("\"alice\" was made")) << box.text;
    EXPECT_NE(std::string::npos, box.text.find("(event 1004)")) << box.text;
}

} // namespace
