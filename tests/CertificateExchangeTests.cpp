// The Export Certificate and Import Certificate commands, run from the main window with the file
// dialogs recorded and answered by script, on real files and Wine's registry.
#include "support/ExchangeCases.h"
#include "support/FileSecurity.h"
#include "support/TestSupport.h"

#include "framework/App.h"
#include "framework/Handles.h"
#include "framework/Seams.h"
#include "framework/Text.h"
#include "res/resource.h"
#include "ui/WardkeepDlg.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

using namespace exchange_cases;
using namespace testing_support;

namespace {

class ExchangeTest : public testing::Test {
  protected:
    CWardkeepDlg dialog;
    HWND main = nullptr;
    std::string folder;
    std::vector<std::string> listAfter;
    std::string fieldAfter;
    int selectedAfter = -2;

    ExchangeTest() {
        fw::CWinApp::Current()->SetMainWindow(&dialog);
        char temp[MAX_PATH + 1] = {};
        ::GetTempPathA(sizeof temp, temp);
        folder = std::string(temp) + "wardkeep-exchange-" + std::to_string(::GetCurrentProcessId());
        ::CreateDirectoryA(folder.c_str(), nullptr);
    }
    ~ExchangeTest() override {
        fw::CWinApp::Current()->SetMainWindow(nullptr);
        for (const char* name : {"\\chosen.crt"}) {
            ::DeleteFileA((folder + name).c_str());
        }
        ::RemoveDirectoryA(folder.c_str());
    }

    std::string Chosen() const { return folder + "\\chosen.crt"; }

    // Runs `command` in the main window with the certificate `selected` selected in its list (none
    // if it is not listed); another program adds "zz-other" first, so the list shows it only if
    // the command refreshed the list.
    void Run(UINT command, const std::string& selected) {
        RunModal(dialog, [&](HWND window) {
            main = window;
            HWND list = ::GetDlgItem(window, IDC_CERTIFICATE_LIST);
            SelectItem(list, selected);
            SetBinary(kUsersPath, "zz-other", "\x01");
            ::SendMessageA(window, WM_COMMAND, command, 0);
            listAfter = ListItems(list);
            fieldAfter = WindowText(::GetDlgItem(window, IDC_USER_ID));
            selectedAfter = ListView_GetNextItem(list, -1, LVNI_SELECTED);
            ::PostMessageA(window, WM_COMMAND, IDCANCEL, 0);
        });
    }

    bool Refreshed() const {
        return std::find(listAfter.begin(), listAfter.end(), "zz-other") != listAfter.end();
    }

    static std::string FileBytes(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        if (!in) {
            return kAbsent;
        }
        std::ostringstream bytes;
        bytes << in.rdbuf();
        return bytes.str();
    }

    std::vector<std::string> FolderFiles() const {
        std::vector<std::string> names;
        WIN32_FIND_DATAA found;
        HANDLE search = ::FindFirstFileA((folder + "\\*").c_str(), &found);
        for (bool more = search != INVALID_HANDLE_VALUE; more;
             more = ::FindNextFileA(search, &found)) {
            if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
                names.push_back(found.cFileName);
            }
        }
        if (search != INVALID_HANDLE_VALUE) {
            ::FindClose(search);
        }
        return names;
    }

    static void WriteFile(const std::string& path, const std::string& bytes) {
        std::ofstream(path, std::ios::binary) << bytes;
    }

    void ExpectReplaceQuestion(const MessageBoxCall& call, const std::string& userId) const {
        EXPECT_EQ(main, call.owner);
        EXPECT_EQ("Replace Certificate", call.caption);
        EXPECT_EQ(static_cast<UINT>(MB_OKCANCEL | MB_ICONQUESTION | MB_DEFBUTTON2), call.type);
        EXPECT_NE(std::string::npos, call.text.find("\"" + userId + "\""));
        EXPECT_NE(std::string::npos, call.text.find("can no longer be decrypted")) << call.text;
    }

    void ExpectFileDialog(bool save) const {
        ASSERT_EQ(1u, FileDialogs().calls.size());
        const FileDialogCall& call = FileDialogs().calls[0];
        char temp[MAX_PATH + 1] = {};
        ::GetTempPathA(sizeof temp, temp);
        EXPECT_EQ(save, call.save);
        EXPECT_EQ(main, call.owner);
        EXPECT_EQ("Lockwell Certificates (*.crt)|*.crt|All Files (*.*)|*.*|", call.filter);
        EXPECT_EQ(std::string(temp) + "*.crt", call.initialFile);
        EXPECT_EQ("crt", call.defaultExtension);
        EXPECT_EQ(static_cast<DWORD>(OFN_OVERWRITEPROMPT | OFN_NOCHANGEDIR),
                  call.flags & (OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY | OFN_FILEMUSTEXIST |
                                OFN_NOCHANGEDIR));
        EXPECT_EQ(260u, call.maxFile);
    }
};

// ---- Export ---------------------------------------------------------------------------------

class ExportTest : public ExchangeTest, public testing::WithParamInterface<ExportCase> {};

TEST_P(ExportTest, WritesTheFileOrSaysWhyNot) {
    const ExportCase& c = GetParam();
    if (c.userKey != nullptr) {
        SetBinary(kUsersPath, "alice", c.userKey);
    }
    if (c.cookieKey != nullptr) {
        SetBinary(kCookiesPath, "alice", c.cookieKey);
    }
    std::string target = c.target == std::string("no-folder") ? folder + "\\none\\x.crt"
                         : c.target == std::string("full")    ? "Z:\\dev\\full"
                                                              : Chosen();
    if (c.target != std::string("cancel")) {
        FileDialogs().answers = {fw::FromAnsi(target)};
    }
    if (c.existing != nullptr) {
        WriteFile(Chosen(), c.existing);
    }
    fw::UniqueFileHandle holder;
    if (c.target == std::string("held")) {
        WriteFile(Chosen(), "held");
        holder.Reset(
            ::CreateFileA(Chosen().c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    }
    if (c.target == std::string("vanish")) {
        FileDialogs().whileOpen = [] {
            DeleteValue(kUsersPath, "alice");
            DeleteValue(kCookiesPath, "alice");
        };
    }
    Run(IDM_EXPORT_CERTIFICATE, "alice");
    holder.Reset();

    ExpectFileDialog(true);
    EXPECT_EQ(c.file, FileBytes(Chosen()));
    // Nothing left beside it either.
    EXPECT_EQ(c.file == kAbsent ? std::vector<std::string>{}
                                : std::vector<std::string>{"chosen.crt"},
              FolderFiles());
    if (c.message == nullptr) {
        EXPECT_TRUE(MessageBoxes().calls.empty());
    } else {
        ASSERT_EQ(1u, MessageBoxes().calls.size());
        const MessageBoxCall& call = MessageBoxes().calls[0];
        EXPECT_EQ(main, call.owner);
        if (c.message == kSelectUserId) {
            EXPECT_EQ(kSelectUserId, call.text);
            EXPECT_EQ("Select a User ID!", call.caption);
            EXPECT_EQ(static_cast<UINT>(MB_OK), call.type);
        } else if (c.message == kGone) {
            EXPECT_EQ("The store holds no certificate \"alice\" any more: another program may "
                      "have deleted it.\nNothing was exported.",
                      call.text);
            EXPECT_EQ(static_cast<UINT>(MB_OK | MB_ICONEXCLAMATION), call.type);
        } else {
            std::string start = "The certificate was not exported: \"" + target +
                                "\" could not be " + c.message + ".\n";
            EXPECT_EQ(start, call.text.substr(0, start.size()));
            EXPECT_GT(call.text.size(), start.size()) << "the system's reason is missing";
            EXPECT_EQ(static_cast<UINT>(MB_OK | MB_ICONHAND), call.type);
        }
    }
    // Only a certificate found gone makes the list show the store anew.
    EXPECT_EQ(c.message == kGone, Refreshed());
    EXPECT_EQ("alice", fieldAfter);
}

INSTANTIATE_TEST_SUITE_P(Exchange, ExportTest, testing::ValuesIn(exchange_cases::ExportCases()),
                         CaseName<ExportCase>);

TEST_F(ExchangeTest, ExportWithoutAUserIdSaysSoAndAsksForNoFile) {
    Run(IDM_EXPORT_CERTIFICATE, "");
    EXPECT_TRUE(FileDialogs().calls.empty());
    ASSERT_EQ(1u, MessageBoxes().calls.size());
    EXPECT_EQ(kSelectUserId, MessageBoxes().calls[0].text);
    EXPECT_EQ(main, MessageBoxes().calls[0].owner);
}

// ---- Import ---------------------------------------------------------------------------------

class ImportTest : public ExchangeTest, public testing::WithParamInterface<ImportCase> {};

TEST_P(ImportTest, StoresWhatTheFileHoldsOrNothing) {
    const ImportCase& c = GetParam();
    SetBinary(kUsersPath, "Bob", "old user key");
    SetBinary(kCookiesPath, "Bob", "old cookie");
    if (c.file != nullptr) {
        WriteFile(Chosen(), c.file);
    }
    FileDialogs().answers = {fw::FromAnsi(Chosen())};
    Run(IDM_IMPORT_CERTIFICATE, "");

    ExpectFileDialog(false);
    EXPECT_EQ("", fieldAfter);
    EXPECT_EQ(-1, selectedAfter);
    std::vector<std::string> names = BinaryValueNames(kUsersPath);
    if (c.userId == nullptr) {
        ASSERT_EQ(1u, MessageBoxes().calls.size());
        const MessageBoxCall& call = MessageBoxes().calls[0];
        EXPECT_EQ(main, call.owner);
        EXPECT_EQ(static_cast<UINT>(MB_OK | MB_ICONHAND), call.type);
        EXPECT_EQ(0u, call.text.find("\"" + Chosen() + "\" ")) << call.text;
        EXPECT_NE(std::string::npos, call.text.find(c.refusal)) << call.text;
        EXPECT_NE(std::string::npos, call.text.find("\nNothing was imported.")) << call.text;
        EXPECT_EQ((std::vector<std::string>{"Bob", "zz-other"}), names);
        EXPECT_FALSE(Refreshed());
        return;
    }
    if (c.asks) {
        ASSERT_EQ(1u, MessageBoxes().calls.size());
        ExpectReplaceQuestion(MessageBoxes().calls[0], "BOB");
    } else {
        EXPECT_TRUE(MessageBoxes().calls.empty());
    }
    EXPECT_TRUE(Refreshed());
    EXPECT_EQ(names, listAfter);
    RegistryValue userKey, cookieKey;
    ASSERT_TRUE(GetValue(kUsersPath, c.userId, userKey));
    ASSERT_TRUE(GetValue(kCookiesPath, c.userId, cookieKey));
    EXPECT_EQ(c.userKey, userKey.data);
    EXPECT_EQ(c.cookieKey, cookieKey.data);
}

INSTANTIATE_TEST_SUITE_P(Exchange, ImportTest, testing::ValuesIn(exchange_cases::ImportCases()),
                         CaseName<ImportCase>);

TEST_F(ExchangeTest, ImportThatTheRegistryRefusesIsReportedAndTheListShowsTheStore) {
    WriteFile(Chosen(), kFullFile);
    FileDialogs().answers = {fw::FromAnsi(Chosen())};
    RunModal(dialog, [&](HWND window) {
        main = window;
        InjectRegistryFailure();
        ::SendMessageA(window, WM_COMMAND, IDM_IMPORT_CERTIFICATE, 0);
        LiftRegistryFailure();
        ::PostMessageA(window, WM_COMMAND, IDCANCEL, 0);
    });
    ASSERT_EQ(1u, MessageBoxes().calls.size());
    EXPECT_EQ(main, MessageBoxes().calls[0].owner);
    EXPECT_EQ("The certificate of \"alice\" was not saved: the registry refused its UserKey.\n"
              "Nothing was changed.",
              MessageBoxes().calls[0].text);
    EXPECT_FALSE(HasValue(kUsersPath, "alice"));
}

struct ReplacingImportCase : NamedCase {
    std::string storedCookie; // the Cookies value of "Bob" before the import
    int answer;               // to the question, if one is asked
    bool asks;                // whether the import asks
    const char* userKeyAfter; // "Bob"'s Users value afterwards
};

class ReplacingImportTest : public ExchangeTest,
                            public testing::WithParamInterface<ReplacingImportCase> {};

// The same certificate imported again (its password changed elsewhere) loses nothing; another
// CookieKey is stored only once the user agreed.
TEST_P(ReplacingImportTest, AsksOnlyWhenACookieKeyWouldBeLost) {
    const ReplacingImportCase& c = GetParam();
    SetBinary(kUsersPath, "Bob", "old user key");
    SetBinary(kCookiesPath, "Bob", c.storedCookie);
    WriteFile(Chosen(), "User = BOB\nUserKey = 41\nCookieKey = 42");
    FileDialogs().answers = {fw::FromAnsi(Chosen())};
    MessageBoxes().answers = {c.answer};
    Run(IDM_IMPORT_CERTIFICATE, "carol");
    ASSERT_EQ(c.asks ? 1u : 0u, MessageBoxes().calls.size());
    if (c.asks) {
        ExpectReplaceQuestion(MessageBoxes().calls[0], "BOB");
    }
    const bool stored = c.answer == IDOK || !c.asks;
    EXPECT_EQ(stored, Refreshed());
    RegistryValue userKey, cookieKey;
    ASSERT_TRUE(GetValue(kUsersPath, "Bob", userKey));
    ASSERT_TRUE(GetValue(kCookiesPath, "Bob", cookieKey));
    EXPECT_EQ(c.userKeyAfter, userKey.data);
    EXPECT_EQ(stored ? "B" : c.storedCookie, cookieKey.data);
}

INSTANTIATE_TEST_SUITE_P(
    Exchange, ReplacingImportTest,
    testing::Values(
        ReplacingImportCase{{"OtherCookieKeyDeclined"}, "old", IDCANCEL, true, "old user key"},
        ReplacingImportCase{{"OtherCookieKeyAgreed"}, "old", IDOK, true, "A"},
        // Equal up to the first zero byte, as keys compare.
        ReplacingImportCase{{"SameCookieKey"}, std::string("B\0junk", 6), IDCANCEL, false, "A"}),
    CaseName<ReplacingImportCase>);

// A second administrator replaces the certificate while the question is open: OK writes nothing
// over the new keys, and says why.
TEST_F(ExchangeTest, AnImportAnsweredForAStoreThatChangedWritesNothing) {
    SetBinary(kUsersPath, "Bob", "old user key");
    SetBinary(kCookiesPath, "Bob", "old");
    WriteFile(Chosen(), "User = BOB\nUserKey = 41\nCookieKey = 42");
    FileDialogs().answers = {fw::FromAnsi(Chosen())};
    fw::CurrentSeams().messageBox = [](HWND, const wchar_t* text, const wchar_t*, UINT) {
        if (std::wstring(text).find(L"Replace it?") != std::wstring::npos) {
            SetBinary(kCookiesPath, "Bob", "another administrator's");
        }
        return IDOK;
    };
    Run(IDM_IMPORT_CERTIFICATE, "");
    RegistryValue cookieKey, userKey;
    ASSERT_TRUE(GetValue(kCookiesPath, "Bob", cookieKey));
    ASSERT_TRUE(GetValue(kUsersPath, "Bob", userKey));
    EXPECT_EQ("another administrator's", cookieKey.data);
    EXPECT_EQ("old user key", userKey.data);
    EXPECT_TRUE(Events().events.empty());
}

// A name that the ANSI code page cannot hold ("L with stroke" and a Greek letter) works as a
// path end to end, and the exported file, new or replaced, is open to nobody but SYSTEM, the
// Administrators and its owner. Under Wine a plain file reads back with an Everyone (WD) entry.
TEST_F(ExchangeTest, ExportedFilesAnyWindowsNameAllowsAreClosedToOthers) {
    SetBinary(kUsersPath, "alice", k16Bytes);
    SetBinary(kCookiesPath, "alice", kCookie);
    const std::wstring plain = fw::FromAnsi(Chosen());
    const std::wstring unusual = fw::FromAnsi(folder) + L"\\\x0141\x03a9.crt";
    WriteFile(Chosen(), "left open to all by another program");
    ASSERT_TRUE(OpenToEveryone(plain)) << FileSecurity(plain);
    for (const std::wstring& path : {plain, unusual}) {
        FileDialogs().answers = {path};
        Run(IDM_EXPORT_CERTIFICATE, "alice");
        ExpectClosedToOthers(path);
    }
    EXPECT_TRUE(MessageBoxes().calls.empty());
    EXPECT_EQ(kFullFile, FileBytes(Chosen()));
    SetBinary(kUsersPath, "alice", "replaced");
    FileDialogs().answers = {unusual};
    Run(IDM_IMPORT_CERTIFICATE, "");
    RegistryValue userKey;
    ASSERT_TRUE(GetValue(kUsersPath, "alice", userKey));
    EXPECT_EQ(k16Bytes, userKey.data);
    EXPECT_TRUE(MessageBoxes().calls.empty());
    ::DeleteFileW(unusual.c_str());
}

} // namespace
