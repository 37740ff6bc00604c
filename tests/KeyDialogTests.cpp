// The New Certificate and Change Password dialogs driven by window messages, with the store in
// Wine's registry and the pause, the cursor and the clock on the recorded timeline.
#include "support/TestSupport.h"

#include "res/resource.h"
#include "ui/NewCertificate.h"
#include "ui/WardkeepDlg.h"

#include <gtest/gtest.h>

using namespace testing_support;

namespace {

// UserKeys (user ID, password typed twice) and the CookieKey of the recorder's clock, in hex.
const char kAliceSecret[] = "3089a7888db6b58521b11a18c45349e5";
const char kAliceEmpty[] = "6384e2b2184bcbf58eccf10ca7a6563c";
const char kAliceN3w[] = "071c2ba24ccf913237d6bec928d95549";
const char kEmptyEverything[] = "d41d8cd98f";
const char kZeroN[] = "1b6bf2a5d79f8f0a3a51d51e2cc4ab9a";
const char kRecordedClockCookie[] = "68a0b3e1ed931af2834ebce56d63197e";
const char kOldCookie[] = "\x01\x02\x03";

const std::vector<std::string> kStoredTimeline = {"cursor wait", "clock", "pause 3000",
                                                  "cursor arrow"};

// The value's data in hex, or "<none>".
std::string Stored(const char* keyPath, const std::string& userId) {
    RegistryValue value;
    if (!GetValue(keyPath, userId, value)) {
        return "<none>";
    }
    return Hex(value.data);
}

void Type(HWND dialog, int field, const std::string& text) {
    ::SetDlgItemTextA(dialog, field, text.c_str());
}

// A dialog that ended is hidden at once; one still open is cancelled.
void CancelIfOpen(HWND dialog) {
    if (::IsWindowVisible(dialog)) {
        ClickButton(dialog, IDCANCEL);
    }
}

void ExpectBox(const MessageBoxCall& call, HWND owner, const std::string& text,
               const std::string& caption, UINT type) {
    EXPECT_EQ(owner, call.owner) << text;
    EXPECT_EQ(text, call.text);
    EXPECT_EQ(caption, call.caption);
    EXPECT_EQ(type, call.type) << text;
}

// ---- New Certificate ------------------------------------------------------------------------

class NewCertificateTest : public testing::Test {
  protected:
    CNewCertificate dialog;

    static void Submit(HWND window, const std::string& userId, const std::string& password,
                       const std::string& retyped) {
        Type(window, IDC_USER_ID, userId);
        Type(window, IDC_PASSWORD, password);
        Type(window, IDC_RETYPED_PASSWORD, retyped);
        ClickButton(window, IDOK);
    }

    // Submits once; a dialog still open afterwards is cancelled. Returns the dialog's result.
    INT_PTR RunOnce(const std::string& userId, const std::string& password,
                    const std::string& retyped, HWND* window = nullptr) {
        return RunModal(dialog, [&](HWND w) {
            if (window != nullptr) {
                *window = w;
            }
            Submit(w, userId, password, retyped);
            CancelIfOpen(w);
        });
    }
};

TEST_F(NewCertificateTest, StoresTheUserKeyThenTheCookieKeyOfThatMomentThenPausesAndEnds) {
    bool onlyUserKeyStoredWhenClockRead = false;
    Timeline().hook = [&](const std::string& event) {
        if (event == "clock") {
            onlyUserKeyStoredWhenClockRead =
                HasValue(kUsersPath, "alice") && !HasValue(kCookiesPath, "alice");
        }
    };
    EXPECT_EQ(IDOK, RunOnce("alice", "secret", "secret"));
    EXPECT_TRUE(onlyUserKeyStoredWhenClockRead);
    EXPECT_EQ(kStoredTimeline, Timeline().events);
    EXPECT_EQ(kAliceSecret, Stored(kUsersPath, "alice"));
    EXPECT_EQ(kRecordedClockCookie, Stored(kCookiesPath, "alice"));
    EXPECT_TRUE(MessageBoxes().calls.empty());
}

struct NewCertificateCase : NamedCase {
    const char* userId;
    const char* password;
    const char* retyped;
    const char* userKey; // nullptr: refused as mismatched
};

class NewCertificateInputTest : public NewCertificateTest,
                                public testing::WithParamInterface<NewCertificateCase> {};

TEST_P(NewCertificateInputTest, StoresOrRefuses) {
    const NewCertificateCase& c = GetParam();
    HWND window = nullptr;
    INT_PTR result = RunModal(dialog, [&](HWND w) {
        window = w;
        Submit(w, c.userId, c.password, c.retyped);
        // Refused: the dialog is still open with the fields as typed.
        EXPECT_EQ(c.retyped, WindowText(::GetDlgItem(w, IDC_RETYPED_PASSWORD)));
        CancelIfOpen(w);
    });
    if (c.userKey == nullptr) {
        EXPECT_EQ(IDCANCEL, result);
        ASSERT_EQ(1u, MessageBoxes().calls.size());
        ExpectBox(MessageBoxes().calls[0], window, "Passwords need to be identical!",
                  "AUTHENTICATION", MB_OK);
        EXPECT_TRUE(EnumerateValues(kUsersPath).empty());
        EXPECT_TRUE(Timeline().events.empty());
    } else {
        EXPECT_EQ(IDOK, result);
        EXPECT_TRUE(MessageBoxes().calls.empty());
        EXPECT_EQ(c.userKey, Stored(kUsersPath, c.userId));
        EXPECT_EQ(kRecordedClockCookie, Stored(kCookiesPath, c.userId));
    }
}

INSTANTIATE_TEST_SUITE_P(
    NewCertificate, NewCertificateInputTest,
    testing::Values(
        NewCertificateCase{{"PasswordsDifferingInCaseOnly"}, "alice", "secret", "Secret", nullptr},
        NewCertificateCase{{"RetypedPasswordMissing"}, "alice", "secret", "", nullptr},
        NewCertificateCase{{"EmptyPasswords"}, "alice", "", "", kAliceEmpty},
        // The unnamed value of both keys.
        NewCertificateCase{{"EmptyUserId"}, "", "", "", kEmptyEverything}),
    CaseName<NewCertificateCase>);

struct ReplaceCase : NamedCase {
    bool usersValue;   // "Alice" has a Users value
    bool cookiesValue; // and a Cookies value
    int answer;        // to the question
};

class NewCertificateReplaceTest : public NewCertificateTest,
                                  public testing::WithParamInterface<ReplaceCase> {};

// Replacing a certificate gives it a new CookieKey: the files encrypted under the old one are
// lost. OK replaces it; Cancel leaves the store and the dialog as they were.
TEST_P(NewCertificateReplaceTest, AsksBeforeReplacingACertificateOfAnySpelling) {
    const ReplaceCase& c = GetParam();
    if (c.usersValue) {
        SetBinary(kUsersPath, "Alice", "old user key");
    }
    if (c.cookiesValue) {
        SetBinary(kCookiesPath, "Alice", kOldCookie);
    }
    MessageBoxes().answers = {c.answer};
    HWND window = nullptr;
    bool openAfterOk = false;
    INT_PTR result = RunModal(dialog, [&](HWND w) {
        window = w;
        Submit(w, "alice", "secret", "secret");
        openAfterOk = ::IsWindowVisible(w) != FALSE;
        EXPECT_EQ("alice", WindowText(::GetDlgItem(w, IDC_USER_ID)));
        EXPECT_EQ("secret", WindowText(::GetDlgItem(w, IDC_PASSWORD)));
        CancelIfOpen(w);
    });
    ASSERT_EQ(1u, MessageBoxes().calls.size());
    const MessageBoxCall& question = MessageBoxes().calls[0];
    // Enter alone keeps the certificate.
    ExpectBox(question, window, question.text, "Replace Certificate",
              MB_OKCANCEL | MB_ICONQUESTION | MB_DEFBUTTON2);
    EXPECT_NE(std::string::npos, question.text.find("\"alice\"")) << question.text;
    EXPECT_NE(std::string::npos, question.text.find("can no longer be decrypted")) << question.text;
    if (c.answer == IDOK) {
        EXPECT_EQ(IDOK, result);
        EXPECT_EQ(kStoredTimeline, Timeline().events);
        EXPECT_EQ(kAliceSecret, Stored(kUsersPath, "alice"));
        EXPECT_EQ(kRecordedClockCookie, Stored(kCookiesPath, "alice"));
    } else {
        EXPECT_TRUE(openAfterOk);
        EXPECT_TRUE(Timeline().events.empty()) << "the wait cursor came before the question";
        EXPECT_EQ(c.usersValue ? Hex("old user key") : "<none>", Stored(kUsersPath, "alice"));
        EXPECT_EQ(c.cookiesValue ? Hex(kOldCookie) : "<none>", Stored(kCookiesPath, "alice"));
    }
}

INSTANTIATE_TEST_SUITE_P(
    NewCertificate, NewCertificateReplaceTest,
    testing::Values(ReplaceCase{{"BothKeysReplaced"}, true, true, IDOK},
                    ReplaceCase{{"BothKeysKept"}, true, true, IDCANCEL},
                    ReplaceCase{{"OnlyAUsersValueKept"}, true, false, IDCANCEL},
                    ReplaceCase{{"OnlyACookiesValueKept"}, false, true, IDCANCEL}),
    CaseName<ReplaceCase>);

TEST_F(NewCertificateTest, DifferentPasswordsAreToldBeforeAnyQuestion) {
    SetBinary(kUsersPath, "alice", "old user key");
    RunOnce("alice", "secret", "Secret");
    ASSERT_EQ(1u, MessageBoxes().calls.size());
    EXPECT_EQ("Passwords need to be identical!", MessageBoxes().calls[0].text);
}

// ---- Text as typed -------------------------------------------------------------------------

void TypeWide(HWND dialog, int field, const std::wstring& text) {
    ::SetDlgItemTextW(dialog, field, text.c_str());
}

struct TypedCase : NamedCase {
    std::wstring userId;
    std::wstring password;
    const char* refusal; // the start of the message, nullptr: stored
    const char* stored;  // the user ID stored, as bytes
    const char* userKey; // its UserKey
};

class NewCertificateTypedTest : public NewCertificateTest,
                                public testing::WithParamInterface<TypedCase> {};

// The keys are derived from bytes of the ANSI code page (1252 here): a character it holds is its
// byte there; one it lacks, or a text longer than the certificate's limits in bytes, is refused,
// naming the field, and the dialog stays open. Never "?", never a look-alike.
TEST_P(NewCertificateTypedTest, TakesTheCharactersTypedOrRefusesThem) {
    ASSERT_EQ(1252u, ::GetACP());
    const TypedCase& c = GetParam();
    HWND window = nullptr;
    INT_PTR result = RunModal(dialog, [&](HWND w) {
        window = w;
        TypeWide(w, IDC_USER_ID, c.userId);
        TypeWide(w, IDC_PASSWORD, c.password);
        TypeWide(w, IDC_RETYPED_PASSWORD, c.password);
        ClickButton(w, IDOK);
        CancelIfOpen(w);
    });
    if (c.refusal == nullptr) {
        EXPECT_EQ(IDOK, result);
        EXPECT_TRUE(MessageBoxes().calls.empty());
        EXPECT_EQ((std::vector<std::string>{c.stored}), BinaryValueNames(kUsersPath));
        EXPECT_EQ(c.userKey, Stored(kUsersPath, c.stored));
        return;
    }
    EXPECT_EQ(IDCANCEL, result);
    ASSERT_EQ(1u, MessageBoxes().calls.size());
    const MessageBoxCall& call = MessageBoxes().calls[0];
    ExpectBox(call, window, call.text, "wardkeep_tests", MB_OK | MB_ICONHAND);
    EXPECT_EQ(0u, call.text.find(c.refusal)) << call.text;
    EXPECT_TRUE(EnumerateValues(kUsersPath).empty());
    EXPECT_TRUE(Timeline().events.empty());
}

const wchar_t kGreek[] = L"\x03b1\x03b2\x03b3";

INSTANTIATE_TEST_SUITE_P(
    NewCertificate, NewCertificateTypedTest,
    testing::Values(
        TypedCase{{"LettersOfTheCodePage"},
                  L"Ren\x00e9",
                  L"p\x00e4ss",
                  nullptr,
                  "Ren\xe9",
                  "96e47e23ac935b980d78f339cdd004ba"},
        TypedCase{{"GreekPassword"},
                  L"alice",
                  kGreek,
                  "The password holds a character that this computer's code page (1252) does "
                  "not have.",
                  nullptr,
                  nullptr},
        // Best fit would store the certificate of "alice".
        TypedCase{{"FullwidthLetterInTheUserId"},
                  L"\xff41lice",
                  L"pw",
                  "The user ID holds",
                  nullptr,
                  nullptr},
        TypedCase{{"UserIdOver127Bytes"},
                  std::wstring(128, L'u'),
                  L"pw",
                  "The user ID is longer than 127 bytes in this computer's code page (1252).",
                  nullptr,
                  nullptr},
        TypedCase{{"PasswordOver192Bytes"},
                  L"alice",
                  std::wstring(193, L'p'),
                  "The password is longer than 192 bytes",
                  nullptr,
                  nullptr}),
    CaseName<TypedCase>);

TEST_F(NewCertificateTest, FieldsTakeWhatTheKeyInputHolds) {
    RunModal(dialog, [&](HWND w) {
        EXPECT_EQ(127, ::SendDlgItemMessageA(w, IDC_USER_ID, EM_GETLIMITTEXT, 0, 0));
        EXPECT_EQ(192, ::SendDlgItemMessageA(w, IDC_PASSWORD, EM_GETLIMITTEXT, 0, 0));
        EXPECT_EQ(192, ::SendDlgItemMessageA(w, IDC_RETYPED_PASSWORD, EM_GETLIMITTEXT, 0, 0));
        Submit(w, std::string(127, 'u'), std::string(192, 'p'), std::string(192, 'p'));
    });
    EXPECT_TRUE(MessageBoxes().calls.empty());
    EXPECT_TRUE(HasValue(kUsersPath, std::string(127, 'u')));
}

// The texts that the password fields of a dialog hold as their windows are destroyed.
class FieldsAtTheEnd {
  public:
    void Watch(HWND dialog, std::initializer_list<int> fields) {
        for (int field : fields) {
            HWND edit = ::GetDlgItem(dialog, field);
            ::SetPropW(edit, L"wardkeep.tests.proc",
                       reinterpret_cast<HANDLE>(::SetWindowLongPtrW(
                           edit, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&Record))));
        }
    }
    static std::vector<std::string>& Texts() {
        static std::vector<std::string> texts;
        return texts;
    }

  private:
    static LRESULT CALLBACK Record(HWND edit, UINT message, WPARAM wParam, LPARAM lParam) {
        auto proc = reinterpret_cast<WNDPROC>(::GetPropW(edit, L"wardkeep.tests.proc"));
        if (message == WM_DESTROY) {
            Texts().push_back(WindowText(edit));
            ::SetWindowLongPtrW(edit, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(proc));
            ::RemovePropW(edit, L"wardkeep.tests.proc");
        }
        return ::CallWindowProcW(proc, edit, message, wParam, lParam);
    }
};

TEST_F(NewCertificateTest, PasswordFieldsAreEmptyWhenTheDialogEnds) {
    for (int ending : {IDOK, IDCANCEL}) {
        FieldsAtTheEnd::Texts().clear();
        RunModal(dialog, [&](HWND w) {
            FieldsAtTheEnd().Watch(w, {IDC_PASSWORD, IDC_RETYPED_PASSWORD});
            Type(w, IDC_USER_ID, "alice");
            Type(w, IDC_PASSWORD, "secret");
            Type(w, IDC_RETYPED_PASSWORD, "secret");
            ClickButton(w, ending);
        });
        EXPECT_EQ((std::vector<std::string>{"", ""}), FieldsAtTheEnd::Texts()) << ending;
    }
}

TEST_F(NewCertificateTest, ARefusedUserKeyIsReportedAndTheCookieKeyIsLeftAlone) {
    HWND window = nullptr;
    InjectRegistryFailure();
    EXPECT_EQ(IDCANCEL, RunOnce("alice", "secret", "secret", &window));
    ASSERT_EQ(1u, MessageBoxes().calls.size());
    ExpectBox(MessageBoxes().calls[0], window,
              "The certificate of \"alice\" was not saved: the registry refused its UserKey.\n"
              "Nothing was changed.",
              "wardkeep_tests", MB_OK | MB_ICONHAND);
    // No clock reading: no CookieKey was made to replace the one a certificate may have.
    EXPECT_EQ((std::vector<std::string>{"cursor wait", "cursor arrow"}), Timeline().events);
}

TEST_F(NewCertificateTest, ARefusedCookieKeyIsReported) {
    HWND window = nullptr;
    Timeline().hook = [](const std::string& event) {
        if (event == "clock") {
            InjectRegistryFailure();
        }
    };
    EXPECT_EQ(IDCANCEL, RunOnce("alice", "secret", "secret", &window));
    ASSERT_EQ(1u, MessageBoxes().calls.size());
    ExpectBox(MessageBoxes().calls[0], window,
              "The certificate of \"alice\" was not saved completely: its UserKey was written, but "
              "the registry refused its CookieKey.\nTry again, or delete the incomplete "
              "certificate.",
              "wardkeep_tests", MB_OK | MB_ICONHAND);
    EXPECT_EQ((std::vector<std::string>{"cursor wait", "clock", "cursor arrow"}),
              Timeline().events);
    LiftRegistryFailure();
    EXPECT_EQ(kAliceSecret, Stored(kUsersPath, "alice"));
    EXPECT_EQ("<none>", Stored(kCookiesPath, "alice"));
}

TEST_F(NewCertificateTest, CancelAndTheCloseBoxStoreNothing) {
    for (UINT ending : {static_cast<UINT>(WM_COMMAND), static_cast<UINT>(WM_SYSCOMMAND)}) {
        INT_PTR result = RunModal(dialog, [&](HWND w) {
            Type(w, IDC_USER_ID, "alice");
            ::PostMessageA(w, ending, ending == WM_COMMAND ? IDCANCEL : SC_CLOSE, 0);
        });
        EXPECT_EQ(IDCANCEL, result);
    }
    EXPECT_TRUE(EnumerateValues(kUsersPath).empty());
    EXPECT_TRUE(Timeline().events.empty());
}

// ---- Change Password ------------------------------------------------------------------------

const char kSelectUserId[] = "You must select a user ID\nfrom the listbox before\n"
                             "you can use the change password\nfunction.";

class ChangePasswordTest : public testing::Test {
  protected:
    CWardkeepDlg mainWindow;
    HWND main = nullptr;
    HWND dialogWindow = nullptr;
    bool openAfterScript = false;

    void SetUp() override {
        SetBinary(kUsersPath, "alice", FromHex(kAliceSecret));
        SetBinary(kCookiesPath, "alice", kOldCookie);
    }

    // Runs the main window with `userId` selected in its list (none if it is not listed) and its
    // Change Password command; `script` drives the dialog, which is cancelled if still open after
    // it. `meanwhile` runs between the selection and the command.
    void Run(
        const std::string& userId, const std::function<void(HWND)>& script,
        const std::function<void()>& meanwhile = [] {}) {
        RunModal(mainWindow, [&](HWND window) {
            main = window;
            SelectItem(::GetDlgItem(window, IDC_CERTIFICATE_LIST), userId);
            meanwhile();
            WhenDialogOpens("Change Password", [&](HWND dialog) {
                dialogWindow = dialog;
                script(dialog);
                openAfterScript = ::IsWindowVisible(dialog) != FALSE;
                CancelIfOpen(dialog);
            });
            ::SendMessageA(window, WM_COMMAND, IDM_CHANGE_PASSWORD, 0);
            ::PostMessageA(window, WM_COMMAND, IDCANCEL, 0);
        });
    }

    static void Submit(HWND dialog, const std::string& old, const std::string& changed,
                       const std::string& retyped) {
        Type(dialog, IDC_OLD_PASSWORD, old);
        Type(dialog, IDC_NEW_PASSWORD, changed);
        Type(dialog, IDC_RETYPED_NEW_PASSWORD, retyped);
        ClickButton(dialog, IDOK);
    }
};

struct ChangePasswordCase : NamedCase {
    const char* old;
    const char* changed;
    const char* retyped;
    int answer;           // to the question, if one is asked
    const char* question; // nullptr: the change is made
    const char* userKey;  // stored afterwards
};

class ChangePasswordInputTest : public ChangePasswordTest,
                                public testing::WithParamInterface<ChangePasswordCase> {};

TEST_P(ChangePasswordInputTest, ChangesOnlyTheUserKeyOrAsksAndStaysOpen) {
    const ChangePasswordCase& c = GetParam();
    MessageBoxes().answers = {c.answer};
    Run("alice", [&](HWND dialog) { Submit(dialog, c.old, c.changed, c.retyped); });
    if (c.question == nullptr) {
        EXPECT_FALSE(openAfterScript);
        EXPECT_TRUE(MessageBoxes().calls.empty());
        EXPECT_EQ((std::vector<std::string>{"cursor wait", "pause 3000", "cursor arrow"}),
                  Timeline().events);
    } else {
        EXPECT_TRUE(openAfterScript);
        ASSERT_EQ(1u, MessageBoxes().calls.size());
        ExpectBox(MessageBoxes().calls[0], dialogWindow, c.question, "AUTHENTICATION", 33);
        EXPECT_TRUE(Timeline().events.empty());
    }
    EXPECT_EQ(c.userKey, Stored(kUsersPath, "alice"));
    EXPECT_EQ(kOldCookie, FromHex(Stored(kCookiesPath, "alice")));
}

INSTANTIATE_TEST_SUITE_P(
    ChangePassword, ChangePasswordInputTest,
    testing::Values(
        ChangePasswordCase{{"Changed"}, "secret", "n3w", "n3w", IDOK, nullptr, kAliceN3w},
        ChangePasswordCase{{"EmptyNewPassword"}, "secret", "", "", IDOK, nullptr, kAliceEmpty},
        ChangePasswordCase{
            {"SamePassword"}, "secret", "secret", "secret", IDOK, nullptr, kAliceSecret},
        ChangePasswordCase{{"WrongOldPassword"},
                           "wrong",
                           "n3w",
                           "n3w",
                           IDOK,
                           "Wrong Old Password!\nRetry?",
                           kAliceSecret},
        ChangePasswordCase{{"OldPasswordInOtherCase"},
                           "Secret",
                           "n3w",
                           "n3w",
                           IDCANCEL,
                           "Wrong Old Password!\nRetry?",
                           kAliceSecret},
        ChangePasswordCase{{"NewPasswordsDiffer"},
                           "secret",
                           "n3w",
                           "N3w",
                           IDCANCEL,
                           "Passwords need to be identical!\nRetry?",
                           kAliceSecret}),
    CaseName<ChangePasswordCase>);

TEST_F(ChangePasswordTest, WithoutAUserIdSaysSoAndCloses) {
    Run("", [](HWND) { ADD_FAILURE() << "the dialog showed its fields"; });
    ASSERT_EQ(1u, MessageBoxes().calls.size());
    const MessageBoxCall& call = MessageBoxes().calls[0];
    EXPECT_NE(nullptr, call.owner);
    EXPECT_NE(main, call.owner);
    ExpectBox(call, call.owner, kSelectUserId, "Select a User ID!", MB_OK);
}

// Another program deleted the certificate after it was selected: said before any password is
// asked, and no Users value is written.
TEST_F(ChangePasswordTest, ACertificateGoneSinceItWasSelectedIsSaidToBeGone) {
    Run(
        "alice", [](HWND) { ADD_FAILURE() << "the dialog asked for passwords"; },
        [] {
            DeleteValue(kUsersPath, "alice");
            DeleteValue(kCookiesPath, "alice");
        });
    ASSERT_EQ(1u, MessageBoxes().calls.size());
    ExpectBox(MessageBoxes().calls[0], main,
              "The store holds no certificate \"alice\" any more: another program may have "
              "deleted it.\nNothing was changed.",
              "wardkeep_tests", MB_OK | MB_ICONEXCLAMATION);
    EXPECT_EQ("<none>", Stored(kUsersPath, "alice"));
}

TEST_F(ChangePasswordTest, AnEmptyStoredUserKeyTakesOnlyAPasswordThatDerivesAnEmptyKey) {
    SetBinary(kUsersPath, "zero", "");
    Run("zero", [](HWND dialog) {
        Submit(dialog, "wrong", "n", "n");
        Submit(dialog, "pw37", "n", "n");
    });
    ASSERT_EQ(1u, MessageBoxes().calls.size());
    EXPECT_EQ("Wrong Old Password!\nRetry?", MessageBoxes().calls[0].text);
    EXPECT_FALSE(openAfterScript);
    EXPECT_EQ(kZeroN, Stored(kUsersPath, "zero"));
}

TEST_F(ChangePasswordTest, ARefusedWriteIsReportedAndTheOldPasswordStaysValid) {
    Timeline().hook = [](const std::string& event) {
        if (event == "cursor wait") {
            InjectRegistryFailure();
        }
    };
    Run("alice", [](HWND dialog) { Submit(dialog, "secret", "n3w", "n3w"); });
    EXPECT_TRUE(openAfterScript);
    ASSERT_EQ(1u, MessageBoxes().calls.size());
    ExpectBox(MessageBoxes().calls[0], dialogWindow,
              "The new password of \"alice\" was not saved: the registry refused the new "
              "UserKey.\nThe old password is still valid.",
              "wardkeep_tests", MB_OK | MB_ICONHAND);
    EXPECT_EQ((std::vector<std::string>{"cursor wait", "cursor arrow"}), Timeline().events);
    LiftRegistryFailure();
    EXPECT_EQ(kAliceSecret, Stored(kUsersPath, "alice"));
}

TEST_F(ChangePasswordTest, FieldsTakeWhatTheKeyInputHolds) {
    Run("alice", [](HWND dialog) {
        for (int field : {IDC_OLD_PASSWORD, IDC_NEW_PASSWORD, IDC_RETYPED_NEW_PASSWORD}) {
            EXPECT_EQ(192, ::SendDlgItemMessageA(dialog, field, EM_GETLIMITTEXT, 0, 0));
        }
        Submit(dialog, std::string(300, 'p'), "n", "n"); // set by program, past the limit
    });
    EXPECT_TRUE(openAfterScript);
    ASSERT_EQ(1u, MessageBoxes().calls.size());
    ExpectBox(MessageBoxes().calls[0], dialogWindow,
              "The old password is longer than 192 bytes in this computer's code page (1252).",
              "wardkeep_tests", MB_OK | MB_ICONHAND);
    EXPECT_EQ(kAliceSecret, Stored(kUsersPath, "alice"));
}

// A character of the code page is its byte there; one it lacks is refused, naming the field.
TEST_F(ChangePasswordTest, TakesTheCharactersTypedOrRefusesThem) {
    Run("alice", [](HWND dialog) {
        TypeWide(dialog, IDC_OLD_PASSWORD, L"secret");
        TypeWide(dialog, IDC_NEW_PASSWORD, kGreek);
        TypeWide(dialog, IDC_RETYPED_NEW_PASSWORD, kGreek);
        ClickButton(dialog, IDOK);
        EXPECT_EQ(kAliceSecret, Stored(kUsersPath, "alice"));
        TypeWide(dialog, IDC_NEW_PASSWORD, L"n\x00e9w");
        TypeWide(dialog, IDC_RETYPED_NEW_PASSWORD, L"n\x00e9w");
        ClickButton(dialog, IDOK);
    });
    EXPECT_FALSE(openAfterScript);
    ASSERT_EQ(1u, MessageBoxes().calls.size());
    ExpectBox(MessageBoxes().calls[0], dialogWindow, MessageBoxes().calls[0].text, "wardkeep_tests",
              MB_OK | MB_ICONHAND);
    EXPECT_EQ(0u, MessageBoxes().calls[0].text.find("The new password holds a character"));
    EXPECT_EQ("ea8353b37f8a5ecc08de97c6ebcd1fdf", Stored(kUsersPath, "alice"));
}

TEST_F(ChangePasswordTest, PasswordFieldsAreEmptyWhenTheDialogEnds) {
    for (bool ok : {true, false}) {
        FieldsAtTheEnd::Texts().clear();
        Run("alice", [&](HWND dialog) {
            FieldsAtTheEnd().Watch(dialog,
                                   {IDC_OLD_PASSWORD, IDC_NEW_PASSWORD, IDC_RETYPED_NEW_PASSWORD});
            if (ok) {
                Submit(dialog, "secret", "n3w", "n3w");
            } else {
                Type(dialog, IDC_OLD_PASSWORD, "secret");
            }
        });
        EXPECT_EQ((std::vector<std::string>{"", "", ""}), FieldsAtTheEnd::Texts()) << ok;
    }
}

} // namespace
