// Journeys through the main window. The real wardkeep.exe runs as a separate process in the
// build tree's Wine prefix; this driver works it only from outside, with the window messages a
// mouse and keyboard would cause, and checks what the window shows and what the registry holds.
#include "E2eDriver.h"
#include "E2eEnvironment.h"
#include "E2eStore.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

using namespace e2e;

namespace {

const char kDeleteQuestion[] = "Do you really want to delete\nthis certificate? Any files\n"
                               "previously encrypted with this\nkey will not be recoverable!";

// Seeded in no order. Wine enumerates values in the order of kWineOrder, which is neither byte
// order ("B" first) nor lstrcmpi order ("ab" before "a-c"): a list that sorted itself would show.
const std::vector<std::string> kSeededUserIds = {"bob", "a-c", "B.K", "_x", "ab", "alice"};
const std::vector<std::string> kWineOrder = {"_x", "a-c", "ab", "alice", "B.K", "bob"};

// The certificate that the lifecycle journey creates and moves.
const char kE2eUser[] = "e2e.user";

// Memory inside the program's process, for list-view messages that carry pointers.
class RemoteMemory {
  public:
    RemoteMemory(HANDLE process, SIZE_T size)
        : m_process(process),
          m_address(static_cast<char*>(
              ::VirtualAllocEx(process, nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE))) {
    }
    ~RemoteMemory() {
        if (m_address != nullptr) {
            ::VirtualFreeEx(m_process, m_address, 0, MEM_RELEASE);
        }
    }
    RemoteMemory(const RemoteMemory&) = delete;
    RemoteMemory& operator=(const RemoteMemory&) = delete;

    char* At(SIZE_T offset) const { return m_address + offset; }
    bool Write(SIZE_T offset, const void* data, SIZE_T size) const {
        return ::WriteProcessMemory(m_process, At(offset), data, size, nullptr) != 0;
    }
    bool Read(SIZE_T offset, void* data, SIZE_T size) const {
        return ::ReadProcessMemory(m_process, At(offset), data, size, nullptr) != 0;
    }

  private:
    HANDLE m_process;
    char* m_address;
};

class MainWindowJourney : public WindowProgramTest {
  protected:
    void SetUp() override {
        WindowProgramTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) {
            return;
        }
        ASSERT_FALSE(e2e::ProgramPath().empty()) << "usage: wardkeep_e2e <path of wardkeep.exe>";
        SeedCertificates(kSeededUserIds);
    }

    std::vector<std::string> ListItems() {
        std::vector<std::string> items;
        RemoteMemory remote(m_process.hProcess, sizeof(LVITEMA) + 256);
        for (int i = 0, count = ItemCount(); i < count; ++i) {
            LVITEMA item = {};
            item.iSubItem = 0;
            item.pszText = remote.At(sizeof item);
            item.cchTextMax = 256;
            char text[256] = {};
            EXPECT_TRUE(remote.Write(0, &item, sizeof item) && remote.Write(sizeof item, text, 1));
            Send(m_list, LVM_GETITEMTEXTA, i, reinterpret_cast<LPARAM>(remote.At(0)));
            EXPECT_TRUE(remote.Read(sizeof item, text, sizeof text - 1));
            items.emplace_back(text);
        }
        return items;
    }

    // Presses and releases the left button over the item's label.
    void ClickItem(const std::string& userId) {
        std::vector<std::string> items = ListItems();
        auto found = std::find(items.begin(), items.end(), userId);
        ASSERT_NE(items.end(), found) << userId << " is not listed";
        RemoteMemory remote(m_process.hProcess, sizeof(RECT));
        RECT rect = {LVIR_LABEL, 0, 0, 0};
        ASSERT_TRUE(remote.Write(0, &rect, sizeof rect));
        ASSERT_TRUE(Send(m_list, LVM_GETITEMRECT, found - items.begin(),
                         reinterpret_cast<LPARAM>(remote.At(0))));
        ASSERT_TRUE(remote.Read(0, &rect, sizeof rect));
        LPARAM centre = MAKELPARAM((rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2);
        ::PostMessageA(m_list, WM_LBUTTONDOWN, MK_LBUTTON, centre);
        ::PostMessageA(m_list, WM_LBUTTONUP, 0, centre);
        EXPECT_TRUE(WaitFor([&] { return WindowText(m_userId) == userId; }))
            << "User ID shows \"" << WindowText(m_userId) << "\" after clicking " << userId;
    }

    void PressKeyInList(WPARAM key) {
        ::PostMessageA(m_list, WM_KEYDOWN, key, 1);
        ::PostMessageA(m_list, WM_KEYUP, key, 0xC0000001);
    }

    // The question names the certificate it deletes.
    void AnswerDeleteQuestion(const std::string& userId, int button) {
        AnswerBox("Warning", m_main, (kDeleteQuestion + ("\n\n\"" + userId + "\"")).c_str(),
                  button);
    }

    // Picks `path` in the program's save or open dialog, as a user typing it would.
    void ChooseFile(const char* caption, const std::string& path) {
        HWND box = nullptr;
        ASSERT_NO_FATAL_FAILURE(WaitForDialog(caption, m_main, box));
        HWND name = ::GetDlgItem(box, 0x47c); // the file name combo box, else its edit
        Send(name != nullptr ? name : ::GetDlgItem(box, 0x480), WM_SETTEXT, 0,
             reinterpret_cast<LPARAM>(path.c_str()));
        ::PostMessageA(box, WM_COMMAND, IDOK, 0);
        ASSERT_TRUE(WaitFor([&] { return !::IsWindow(box); })) << caption << " stays open";
    }

    // Imports `file` through the real open dialog, finds the certificate listed with these keys,
    // and ends the program.
    void ImportAndExpect(const std::string& file, const std::string& userKey,
                         const std::string& cookie) {
        ::PostMessageA(m_main, WM_COMMAND, kImportCertificateCommand, 0);
        ASSERT_NO_FATAL_FAILURE(ChooseFile("Open", file));
        EXPECT_TRUE(WaitFor([&] { return Listed(kE2eUser); })) << "the import is not listed";
        EXPECT_EQ(EnumeratedNames(kUsersKey), ListItems());
        std::string stored;
        EXPECT_TRUE(ReadValue(kUsersKey, kE2eUser, stored));
        EXPECT_EQ(userKey, stored);
        EXPECT_TRUE(ReadValue(kCookiesKey, kE2eUser, stored));
        EXPECT_EQ(cookie, stored);
        ::PostMessageA(m_main, WM_COMMAND, kExitCommand, 0);
        ExpectProgramEnds();
    }

    bool Listed(const std::string& userId) {
        std::vector<std::string> items = ListItems();
        return std::find(items.begin(), items.end(), userId) != items.end();
    }

    void ExpectCertificate(const std::string& userId, bool present) {
        EXPECT_EQ(present, ValueExists(kUsersKey, userId)) << "Users value of " << userId;
        EXPECT_EQ(present, ValueExists(kCookiesKey, userId)) << "Cookies value of " << userId;
    }
};

TEST_F(MainWindowJourney, DeleteKeyRemovesTheClickedCertificateOnlyAfterOk) {
    ASSERT_NO_FATAL_FAILURE(StartProgram());
    std::vector<std::string> listed = ListItems();
    EXPECT_EQ(EnumeratedNames(kUsersKey), listed);
    EXPECT_EQ(kWineOrder, listed);

    ASSERT_NO_FATAL_FAILURE(ClickItem("ab"));
    PressKeyInList(VK_DELETE);
    ASSERT_NO_FATAL_FAILURE(AnswerDeleteQuestion("ab", IDCANCEL));
    EXPECT_EQ(listed, ListItems());
    for (const std::string& userId : kSeededUserIds) {
        ExpectCertificate(userId, true);
    }

    PressKeyInList(VK_DELETE);
    ASSERT_NO_FATAL_FAILURE(AnswerDeleteQuestion("ab", IDOK));
    EXPECT_TRUE(WaitFor([&] { return ItemCount() == static_cast<int>(listed.size()) - 1; }))
        << "the list still has " << ItemCount() << " items";
    for (const std::string& userId : kSeededUserIds) {
        ExpectCertificate(userId, userId != "ab");
    }
    EXPECT_EQ(EnumeratedNames(kUsersKey), ListItems());

    // Esc in the list is the dialog's Cancel: the program ends.
    PressKeyInList(VK_ESCAPE);
    ExpectProgramEnds();
}

// Two administrators at once: this driver changes the store as a second program would, while the
// window shows it, between a selection and a command, and while a question is open.
TEST_F(MainWindowJourney, TheWindowFollowsASecondAdministrator) {
    ASSERT_NO_FATAL_FAILURE(StartProgram());
    SeedCertificates({"zed"});
    EXPECT_TRUE(WaitFor([&] { return Listed("zed"); })) << "the list did not follow the store";
    EXPECT_EQ(EnumeratedNames(kUsersKey), ListItems());

    // Selected, then deleted elsewhere: the command says so and asks for no password.
    ASSERT_NO_FATAL_FAILURE(ClickItem("alice"));
    DeleteValue(kUsersKey, "alice");
    DeleteValue(kCookiesKey, "alice");
    EXPECT_TRUE(WaitFor([&] { return !Listed("alice"); }));
    EXPECT_EQ("alice", WindowText(m_userId));
    ::PostMessageA(m_main, WM_COMMAND, kChangePasswordCommand, 0);
    ASSERT_NO_FATAL_FAILURE(AnswerBox("wardkeep", m_main,
                                      "The store holds no certificate \"alice\" any more: another "
                                      "program may have deleted it.\nNothing was changed.",
                                      IDOK));

    // Enter alone on the delete question keeps the certificate.
    ASSERT_NO_FATAL_FAILURE(ClickItem("bob"));
    PressKeyInList(VK_DELETE);
    HWND box = nullptr;
    ASSERT_NO_FATAL_FAILURE(WaitForDialog("Warning", m_main, box));
    GUITHREADINFO gui = {};
    gui.cbSize = sizeof gui;
    // Enter goes where the box put the focus: its default button, once it has set it.
    ASSERT_TRUE(WaitFor([&] {
        return ::GetGUIThreadInfo(m_process.dwThreadId, &gui) && gui.hwndFocus != nullptr &&
               ::GetParent(gui.hwndFocus) == box;
    })) << "the question has no focused button";
    ::PostMessageA(gui.hwndFocus, WM_KEYDOWN, VK_RETURN, 1);
    ::PostMessageA(gui.hwndFocus, WM_KEYUP, VK_RETURN, 0xC0000001);
    ASSERT_TRUE(WaitFor([&] { return !::IsWindow(box); }));
    Send(m_main, WM_NULL, 0, 0);
    ExpectCertificate("bob", true);

    // Replaced elsewhere while the question is open: OK deletes nothing.
    PressKeyInList(VK_DELETE);
    ASSERT_NO_FATAL_FAILURE(WaitForDialog("Warning", m_main, box));
    SeedValue(kCookiesKey, "bob", "replaced elsewhere");
    ::PostMessageA(::GetDlgItem(box, IDOK), BM_CLICK, 0, 0);
    ASSERT_NO_FATAL_FAILURE(AnswerBox("wardkeep", m_main,
                                      "Another program changed the certificate \"bob\" while you "
                                      "were asked.\nNothing was deleted.",
                                      IDOK));
    std::string cookie;
    EXPECT_TRUE(ReadValue(kCookiesKey, "bob", cookie));
    EXPECT_EQ("replaced elsewhere", cookie);
    ExpectCertificate("bob", true);

    ::PostMessageA(m_main, WM_COMMAND, kExitCommand, 0);
    ExpectProgramEnds();
}

// The question before a certificate is replaced, and the reason an import stores nothing, in the
// real message boxes: owned by the dialog and by the main window.
TEST_F(MainWindowJourney, ReplacingAsksAndARefusedImportSaysWhy) {
    ASSERT_NO_FATAL_FAILURE(StartProgram());
    HWND dialog = nullptr;
    ASSERT_NO_FATAL_FAILURE(OpenNewCertificate("BOB", "pw", "pw", dialog));
    Click(dialog, IDOK);
    ASSERT_NO_FATAL_FAILURE(AnswerBox(
        "Replace Certificate", dialog,
        "The store already holds a certificate \"BOB\".\nReplacing it gives it a new CookieKey: "
        "files encrypted under the certificate can no longer be decrypted once it is "
        "replaced.\n\nReplace it?",
        IDCANCEL));
    EXPECT_TRUE(::IsWindowVisible(dialog)) << "a declined question closed the dialog";
    std::string userKey;
    EXPECT_TRUE(ReadValue(kUsersKey, "bob", userKey));
    EXPECT_EQ("user key of bob", userKey);
    Click(dialog, IDCANCEL);
    ASSERT_TRUE(WaitFor([&] { return !::IsWindow(dialog); }));

    ASSERT_FALSE(e2e::ExchangeFilePath().empty()) << "usage: wardkeep_e2e <wardkeep.exe> <file>";
    const std::string missing = e2e::ExchangeFilePath() + ".missing";
    ::PostMessageA(m_main, WM_COMMAND, kImportCertificateCommand, 0);
    ASSERT_NO_FATAL_FAILURE(ChooseFile("Open", missing));
    HWND box = nullptr;
    ASSERT_NO_FATAL_FAILURE(WaitForDialog("wardkeep", m_main, box));
    const std::string text = WindowText(::GetDlgItem(box, kMessageBoxText));
    EXPECT_EQ(0u, text.find("\"" + missing + "\" could not be opened: ")) << text;
    EXPECT_NE(std::string::npos, text.find("\nNothing was imported.")) << text;
    ::PostMessageA(::GetDlgItem(box, IDOK), BM_CLICK, 0, 0);
    ASSERT_TRUE(WaitFor([&] { return !::IsWindow(box); }));
    ::PostMessageA(m_main, WM_COMMAND, kExitCommand, 0);
    ExpectProgramEnds();
}

TEST_F(MainWindowJourney, MenuDeletesTheClickedCertificateAndExitEndsTheProgram) {
    ASSERT_NO_FATAL_FAILURE(StartProgram());
    ASSERT_NO_FATAL_FAILURE(ClickItem("B.K"));
    ::PostMessageA(m_main, WM_COMMAND, kDeleteCertificateCommand, 0);
    ASSERT_NO_FATAL_FAILURE(AnswerDeleteQuestion("B.K", IDOK));
    EXPECT_TRUE(WaitFor([&] { return ItemCount() == static_cast<int>(kSeededUserIds.size()) - 1; }))
        << "the list still has " << ItemCount() << " items";
    for (const std::string& userId : kSeededUserIds) {
        ExpectCertificate(userId, userId != "B.K");
    }
    EXPECT_EQ(EnumeratedNames(kUsersKey), ListItems());

    ::PostMessageA(m_main, WM_COMMAND, kExitCommand, 0);
    ExpectProgramEnds();
}

// The UserKey of "e2e.user" with each password: MD5 of user ID and password twice.
const char kFirstPassword[] = "Correct Horse 1";
const std::string kFirstUserKey =
    "\xe9\x52\xe4\x77\xb3\xcd\xbe\x88\xd2\x63\x53\x41\xd8\x63\xff\xb6";
const char kSecondPassword[] = "Battery Staple 2";
const std::string kSecondUserKey =
    "\xfa\x43\x47\x55\xa7\x28\x5d\xae\xec\x55\x27\x44\xb8\x12\x7e\x7a";

// Whether `cookie` is the CookieKey of a millisecond from `from` to `to` (UTC): the MD5 of that
// moment's SYSTEMTIME record.
bool IsCookieKeyOfAMomentBetween(const std::string& cookie, SYSTEMTIME from, SYSTEMTIME to) {
    ULARGE_INTEGER first, last;
    FILETIME file;
    ::SystemTimeToFileTime(&from, &file);
    first.LowPart = file.dwLowDateTime, first.HighPart = file.dwHighDateTime;
    ::SystemTimeToFileTime(&to, &file);
    last.LowPart = file.dwLowDateTime, last.HighPart = file.dwHighDateTime;
    for (ULONGLONG at = first.QuadPart; at <= last.QuadPart; at += 10000) { // 1 ms
        file.dwLowDateTime = static_cast<DWORD>(at),
        file.dwHighDateTime = static_cast<DWORD>(at >> 32);
        SYSTEMTIME moment;
        ::FileTimeToSystemTime(&file, &moment);
        if (Md5Key(std::string(reinterpret_cast<const char*>(&moment), sizeof moment)) == cookie) {
            return true;
        }
    }
    return false;
}

TEST_F(MainWindowJourney, CreateChangeExportDeleteImportThroughTheRealDialogs) {
    ASSERT_NO_FATAL_FAILURE(StartProgram());
    HWND dialog = nullptr;
    ASSERT_NO_FATAL_FAILURE(
        OpenNewCertificate(kE2eUser, kFirstPassword, "correct horse 1", dialog));
    Click(dialog, IDOK);
    ASSERT_NO_FATAL_FAILURE(
        AnswerBox("AUTHENTICATION", dialog, "Passwords need to be identical!", IDOK));
    EXPECT_FALSE(ValueExists(kUsersKey, kE2eUser));

    Type(dialog, kNewRetyped, kFirstPassword);
    SYSTEMTIME before, after;
    ::GetSystemTime(&before);
    ASSERT_NO_FATAL_FAILURE(ConfirmNewCertificate(dialog));
    ::GetSystemTime(&after);
    EXPECT_TRUE(WaitFor([&] { return ItemCount() == static_cast<int>(kSeededUserIds.size()) + 1; }))
        << "the list was not refreshed";
    EXPECT_EQ(EnumeratedNames(kUsersKey), ListItems());
    std::string userKey, cookie;
    ASSERT_TRUE(ReadValue(kUsersKey, kE2eUser, userKey));
    EXPECT_EQ(kFirstUserKey, userKey);
    ASSERT_TRUE(ReadValue(kCookiesKey, kE2eUser, cookie));
    EXPECT_TRUE(IsCookieKeyOfAMomentBetween(cookie, before, after));
    // Only in the 32-bit view, which a 64-bit view sees under Wow6432Node.
    EXPECT_TRUE(ValueExists(kUsersKeyPhysical, kE2eUser, kOtherView));
    EXPECT_FALSE(ValueExists(kUsersKey, kE2eUser, kOtherView));

    ASSERT_NO_FATAL_FAILURE(ClickItem(kE2eUser));
    ::PostMessageA(m_main, WM_COMMAND, kChangePasswordCommand, 0);
    ASSERT_NO_FATAL_FAILURE(WaitForDialog("Change Password", m_main, dialog));
    Type(dialog, kOldPassword, "correct horse 1"); // right but for the letter case
    Type(dialog, kChangedPassword, kSecondPassword);
    Type(dialog, kChangedRetyped, kSecondPassword);
    Click(dialog, IDOK);
    ASSERT_NO_FATAL_FAILURE(
        AnswerBox("AUTHENTICATION", dialog, "Wrong Old Password!\nRetry?", IDCANCEL));
    EXPECT_TRUE(::IsWindowVisible(dialog)) << "a wrong old password closed the dialog";
    Type(dialog, kOldPassword, kFirstPassword);
    Click(dialog, IDOK);
    ASSERT_TRUE(WaitFor([&] { return !::IsWindow(dialog); })) << "Change Password stays open";
    std::string changedKey, unchangedCookie;
    EXPECT_TRUE(ReadValue(kUsersKey, kE2eUser, changedKey));
    EXPECT_EQ(kSecondUserKey, changedKey);
    EXPECT_TRUE(ReadValue(kCookiesKey, kE2eUser, unchangedCookie));
    EXPECT_EQ(cookie, unchangedCookie);

    // Export through the real save dialog, delete, and import the file through the open dialog.
    const std::string file = e2e::ExchangeFilePath();
    ASSERT_FALSE(file.empty()) << "usage: wardkeep_e2e <wardkeep.exe> <certificate file>";
    ::DeleteFileA(file.c_str());
    ::PostMessageA(m_main, WM_COMMAND, kExportCertificateCommand, 0);
    ASSERT_NO_FATAL_FAILURE(ChooseFile("Save As", file));
    Send(m_main, WM_NULL, 0, 0);
    EXPECT_EQ("[Lockwell]\r\nVersion = 2.0\r\nUser = e2e.user\r\n\r\n[Keys]\r\nUserKey = " +
                  Hex(kSecondUserKey, 16) + "\r\nCookieKey = " + Hex(cookie, 16),
              FileBytes(file));

    ::PostMessageA(m_main, WM_COMMAND, kDeleteCertificateCommand, 0);
    ASSERT_NO_FATAL_FAILURE(AnswerDeleteQuestion(kE2eUser, IDOK));
    ASSERT_TRUE(WaitFor([&] { return !Listed(kE2eUser); }));
    ExpectCertificate(kE2eUser, false);

    ASSERT_NO_FATAL_FAILURE(ImportAndExpect(file, kSecondUserKey, cookie));
}

// Runs in a second Wine prefix, after the first machine's journeys: the file they exported
// brings the certificate over with both its keys.
class SecondMachineJourney : public MainWindowJourney {};

TEST_F(SecondMachineJourney, ImportsTheCertificateExportedOnTheFirstMachine) {
    const std::string file = FileBytes(e2e::ExchangeFilePath());
    std::string::size_type cookieLine = file.find("CookieKey = ");
    ASSERT_NE(std::string::npos, cookieLine) << "no certificate file from the first machine";
    std::string cookie = FromHex(file.substr(cookieLine + 12, 32));
    cookie = cookie.substr(0, cookie.find('\0'));
    ASSERT_NO_FATAL_FAILURE(StartProgram());
    ASSERT_FALSE(Listed(kE2eUser));
    ASSERT_NO_FATAL_FAILURE(ImportAndExpect(e2e::ExchangeFilePath(), kSecondUserKey, cookie));
}

} // namespace
