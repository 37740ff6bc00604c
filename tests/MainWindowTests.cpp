// The main window driven by window messages, with the store in Wine's registry.
#include "support/TestSupport.h"

#include "framework/App.h"
#include "framework/Registry.h"
#include "framework/Seams.h"
#include "res/resource.h"
#include "ui/WardkeepDlg.h"

#include <version.h>

#include <gtest/gtest.h>

#include <htmlhelp.h>

#include <algorithm>
#include <cstring>
#include <optional>

using namespace testing_support;

namespace {

const char kDeleteQuestion[] = "Do you really want to delete\nthis certificate? Any files\n"
                               "previously encrypted with this\nkey will not be recoverable!";

// Whether the list redraws: a list view with redrawing off invalidates nothing for its items.
bool Redraws(HWND list) {
    ::ValidateRect(list, nullptr);
    ListView_RedrawItems(list, 0, 0);
    RECT update = {};
    return ::GetUpdateRect(list, &update, FALSE) != FALSE;
}

class MainWindowTest : public testing::Test {
  protected:
    CWardkeepDlg dialog;

    // As in the program: the main window owns the dialogs that its commands open.
    MainWindowTest() { fw::CWinApp::Current()->SetMainWindow(&dialog); }
    ~MainWindowTest() override { fw::CWinApp::Current()->SetMainWindow(nullptr); }

    static void AddCertificate(const std::string& userId) {
        SetBinary(kUsersPath, userId, "\x11\x22");
        SetBinary(kCookiesPath, userId, "\x33\x44");
    }

    // Runs the main window; `script` gets the window, its list and its User ID field.
    INT_PTR Run(const std::function<void(HWND, HWND, HWND)>& script) {
        return RunModal(dialog, [&](HWND window) {
            script(window, ::GetDlgItem(window, IDC_CERTIFICATE_LIST),
                   ::GetDlgItem(window, IDC_USER_ID));
            if (::IsWindow(window)) {
                ::PostMessageA(window, WM_COMMAND, IDCANCEL, 0);
            }
        });
    }

    static void Click(HWND window) { SendNotify(window, IDC_CERTIFICATE_LIST, NM_CLICK); }
    static void ClickItem(HWND window, HWND list, int index) {
        SelectItems(list, {index});
        Click(window);
    }

    // The question names the certificate; Enter alone (the default button) keeps it.
    static void ExpectDeleteQuestion(HWND owner, const std::string& shown) {
        ASSERT_EQ(1u, MessageBoxes().calls.size());
        const MessageBoxCall& call = MessageBoxes().calls[0];
        EXPECT_EQ(owner, call.owner);
        EXPECT_EQ(kDeleteQuestion + std::string("\n\n\"") + shown + "\"", call.text);
        EXPECT_EQ("Warning", call.caption);
        EXPECT_EQ(static_cast<UINT>(MB_OKCANCEL | MB_ICONQUESTION | MB_DEFBUTTON2), call.type);
    }
};

TEST_F(MainWindowTest, ListsTheStoreInItsOrderWithTheCertificateImage) {
    for (const char* name : {"bob", "a-c", "B", "", "_x", "ab", "alice", "a"}) {
        AddCertificate(name);
    }
    SetValue(kUsersPath, "text-value", REG_SZ, "x");
    Run([](HWND, HWND list, HWND) {
        EXPECT_EQ(BinaryValueNames(kUsersPath), ListItems(list));
        // Wine's enumeration order, which neither byte order nor lstrcmpi order gives.
        EXPECT_EQ((std::vector<std::string>{"", "_x", "a", "a-c", "ab", "alice", "B", "bob"}),
                  ListItems(list));
        for (int i = 0; i < 8; ++i) {
            LVITEMA item = {};
            item.mask = LVIF_IMAGE;
            item.iItem = i;
            item.iImage = 99;
            ::SendMessageA(list, LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item));
            EXPECT_EQ(0, item.iImage) << "item " << i;
        }
        EXPECT_TRUE(Redraws(list)) << "the list was left not redrawing";
        HIMAGELIST images = ListView_GetImageList(list, LVSIL_SMALL);
        ASSERT_NE(nullptr, images);
        EXPECT_EQ(1, ::ImageList_GetImageCount(images));
        EXPECT_EQ(list, ::GetFocus());
    });
    EXPECT_TRUE(MessageBoxes().calls.empty());
}

TEST_F(MainWindowTest, StartsEmptyAndSilentWithoutAStore) {
    Run([](HWND window, HWND list, HWND field) {
        EXPECT_TRUE(ListItems(list).empty());
        EXPECT_EQ("", WindowText(field));
        HMENU file = ::GetSubMenu(::GetMenu(window), 0);
        for (int i = 0; i < ::GetMenuItemCount(file); ++i) {
            UINT state = ::GetMenuState(file, i, MF_BYPOSITION);
            if (!(state & MF_SEPARATOR)) {
                EXPECT_EQ(0u, state & (MF_GRAYED | MF_DISABLED)) << "item " << i;
            }
        }
    });
    EXPECT_TRUE(MessageBoxes().calls.empty());
}

// However the selection is made (a click, the arrow keys, Home, End, typing a name's first
// letters), the field shows the first selected certificate; with none selected it keeps its text.
TEST_F(MainWindowTest, TheFieldFollowsTheSelectionHoweverItIsMade) {
    for (const char* name : {"alice", "bob", "carol", "dave"}) {
        AddCertificate(name);
    }
    Run([](HWND window, HWND list, HWND field) {
        ClickItem(window, list, 1);
        EXPECT_EQ("bob", WindowText(field));
        SelectItems(list, {2, 0}); // several, with a click: the first in list order
        Click(window);
        EXPECT_EQ("alice", WindowText(field));
        SelectItems(list, {0});
        SelectItems(list, {});
        EXPECT_EQ("alice", WindowText(field));
        ::SetFocus(list);
        const std::pair<std::vector<WPARAM>, const char*> moves[] = {
            {{VK_END}, "dave"},  {{VK_HOME}, "alice"},  {{VK_DOWN}, "bob"},
            {{VK_NEXT}, "dave"}, {{VK_PRIOR}, "alice"}, {{'C'}, "carol"},
        };
        for (const auto& [keys, expected] : moves) {
            for (WPARAM key : keys) {
                ::SendMessageA(list, WM_KEYDOWN, key, 1);
                if (key >= 'A' && key <= 'Z') {
                    ::SendMessageA(list, WM_CHAR, key - 'A' + 'a', 1);
                }
                ::SendMessageA(list, WM_KEYUP, key, 0xC0000001);
            }
            EXPECT_EQ(expected, WindowText(field)) << "after key " << keys[0];
        }
    });
}

TEST_F(MainWindowTest, TheLongestListedUserIdAndTheEmptyOneAreShownWhole) {
    const std::string longest(127, 'q');
    AddCertificate("");
    AddCertificate(longest);
    Run([&](HWND window, HWND list, HWND field) {
        std::vector<std::string> items = ListItems(list);
        ASSERT_EQ(2u, items.size());
        int longIndex = items[0] == longest ? 0 : 1;
        ClickItem(window, list, longIndex);
        EXPECT_EQ(longest, WindowText(field));
        ClickItem(window, list, 1 - longIndex);
        EXPECT_EQ("", WindowText(field));
    });
}

TEST_F(MainWindowTest, DeleteKeyDeletesTheHighlightedCertificateNamedInTheQuestion) {
    for (const char* name : {"alice", "bob", "carol"}) {
        AddCertificate(name);
    }
    Run([](HWND window, HWND list, HWND field) {
        ClickItem(window, list, 0);
        SelectItems(list, {2}); // moved with the keyboard: no click
        EXPECT_EQ("carol", WindowText(field));
        SendListKeyDown(window, IDC_CERTIFICATE_LIST, VK_DELETE);
        ExpectDeleteQuestion(window, "carol");
        EXPECT_FALSE(HasValue(kUsersPath, "carol"));
        EXPECT_FALSE(HasValue(kCookiesPath, "carol"));
        EXPECT_TRUE(HasValue(kUsersPath, "alice"));
        EXPECT_EQ((std::vector<std::string>{"alice", "bob"}), ListItems(list));
        EXPECT_EQ("carol", WindowText(field));
    });
}

TEST_F(MainWindowTest, CancelledDeleteChangesNothing) {
    AddCertificate("alice");
    AddCertificate("bob");
    MessageBoxes().answers = {IDCANCEL};
    Run([](HWND window, HWND list, HWND) {
        ClickItem(window, list, 0);
        ::SendMessageA(window, WM_COMMAND, IDM_DELETE_CERTIFICATE, 0);
        ExpectDeleteQuestion(window, "alice");
        EXPECT_TRUE(HasValue(kUsersPath, "alice"));
        EXPECT_TRUE(HasValue(kCookiesPath, "alice"));
        EXPECT_EQ((std::vector<std::string>{"alice", "bob"}), ListItems(list));
    });
}

TEST_F(MainWindowTest, DeleteWithAnEmptyFieldDeletesTheUnnamedCertificate) {
    AddCertificate("");
    AddCertificate("alice");
    Run([](HWND window, HWND list, HWND) {
        ::SendMessageA(window, WM_COMMAND, IDM_DELETE_CERTIFICATE, 0);
        ExpectDeleteQuestion(window, "");
        EXPECT_FALSE(HasValue(kUsersPath, ""));
        EXPECT_FALSE(HasValue(kCookiesPath, ""));
        EXPECT_EQ((std::vector<std::string>{"alice"}), ListItems(list));
    });
}

// A certificate that another program deleted, or changed while the question was open, is said
// to be so: nothing is deleted, and the list shows the store as it is.
TEST_F(MainWindowTest, DeleteActsOnlyOnTheCertificateTheQuestionShowed) {
    AddCertificate("alice");
    AddCertificate("bob");
    Run([](HWND window, HWND list, HWND field) {
        ClickItem(window, list, 0);
        ::SendMessageA(window, WM_COMMAND, IDM_DELETE_CERTIFICATE, 0);
        AddCertificate("dave"); // by another program
        ::SendMessageA(window, WM_COMMAND, IDM_DELETE_CERTIFICATE, 0);
        ASSERT_EQ(2u, MessageBoxes().calls.size());
        EXPECT_EQ("The store holds no certificate \"alice\" any more: another program may have "
                  "deleted it.\nNothing was deleted.",
                  MessageBoxes().calls[1].text);
        EXPECT_EQ("alice", WindowText(field));
        EXPECT_EQ((std::vector<std::string>{"bob", "dave"}), ListItems(list));

        // Replaced while the question is open: the new keys stay.
        SelectItem(list, "bob");
        fw::CurrentSeams().messageBox = [](HWND, const wchar_t* text, const wchar_t*, UINT) {
            if (std::wstring(text).find(L"\"bob\"") != std::wstring::npos &&
                std::wstring(text).find(L"delete") != std::wstring::npos) {
                SetBinary(kUsersPath, "bob", "new");
            }
            return IDOK;
        };
        ::SendMessageA(window, WM_COMMAND, IDM_DELETE_CERTIFICATE, 0);
        RegistryValue value;
        ASSERT_TRUE(GetValue(kUsersPath, "bob", value));
        EXPECT_EQ("new", value.data);
        EXPECT_TRUE(HasValue(kCookiesPath, "bob"));
    });
}

// F5, and any change that another program makes, show the store; the selection and the field
// stay with their certificate, and a list that shows the store already is left alone.
TEST_F(MainWindowTest, TheListFollowsTheStoreAndKeepsTheSelection) {
    for (const char* name : {"bob", "carol"}) {
        AddCertificate(name);
    }
    Run([](HWND window, HWND list, HWND field) {
        SelectItems(list, {1});
        AddCertificate("alice"); // by another program, listed before the selection
        EXPECT_TRUE(PumpUntil([&] { return ListItems(list).size() == 3; }))
            << "the list did not follow the store";
        EXPECT_EQ((std::vector<std::string>{"alice", "bob", "carol"}), ListItems(list));
        EXPECT_EQ((std::vector<int>{2}), SelectedItems(list));
        EXPECT_EQ("carol", WindowText(field));

        // Another program's change while the watch is not told: F5.
        DeleteValue(kUsersPath, "carol");
        SendListKeyDown(window, IDC_CERTIFICATE_LIST, VK_F5);
        EXPECT_EQ((std::vector<std::string>{"alice", "bob"}), ListItems(list));
        EXPECT_TRUE(SelectedItems(list).empty());
        EXPECT_EQ("carol", WindowText(field)) << "the field keeps its text";

        // Nothing changed: nothing is redrawn.
        SelectItems(list, {1});
        ::UpdateWindow(list);
        SendListKeyDown(window, IDC_CERTIFICATE_LIST, VK_F5);
        RECT update = {};
        EXPECT_FALSE(::GetUpdateRect(list, &update, FALSE));
        EXPECT_EQ((std::vector<int>{1}), SelectedItems(list));
    });
    EXPECT_TRUE(MessageBoxes().calls.empty());
}

// Names written by other tools: one the code page lacks is listed escaped and never acted on as
// its look-alike; one with a line break is shown escaped and acted on exactly.
TEST_F(MainWindowTest, NamesThatCouldMisleadAreShownEscapedAndActedOnExactly) {
    AddCertificate("alice");
    AddCertificate("a\rb");
    fw::UniqueHKey users = fw::OpenRegistryKey(HKEY_LOCAL_MACHINE, kUsersPath, KEY_SET_VALUE);
    const BYTE data = 1;
    ASSERT_EQ(ERROR_SUCCESS, ::RegSetValueExW(users.Get(), L"\x03b1lice", 0, REG_BINARY, &data, 1));
    Run([](HWND window, HWND list, HWND field) {
        std::vector<std::string> items = ListItems(list);
        EXPECT_NE(items.end(), std::find(items.begin(), items.end(), "\\u03B1lice"));
        SelectItem(list, "\\u03B1lice");
        EXPECT_EQ("\\u03B1lice", WindowText(field));
        ::SendMessageA(window, WM_COMMAND, IDM_DELETE_CERTIFICATE, 0);
        ASSERT_EQ(1u, MessageBoxes().calls.size());
        EXPECT_NE(std::string::npos, MessageBoxes().calls[0].text.find("Nothing was deleted."));
        EXPECT_TRUE(HasValue(kUsersPath, "alice"));
        EXPECT_EQ(3u, ListItems(list).size());

        MessageBoxes().calls.clear();
        SelectItem(list, "a\\u000Db");
        ::SendMessageA(window, WM_COMMAND, IDM_DELETE_CERTIFICATE, 0);
        ExpectDeleteQuestion(window, "a\\u000Db");
        EXPECT_FALSE(HasValue(kUsersPath, "a\rb"));
        EXPECT_TRUE(HasValue(kUsersPath, "alice"));
    });
}

// Makes the list control refuse its second insertion.
LRESULT CALLBACK RefuseSecondInsert(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                    UINT_PTR, DWORD_PTR inserts) {
    if (message == LVM_INSERTITEMA && ++*reinterpret_cast<int*>(inserts) == 2) {
        return -1;
    }
    return ::DefSubclassProc(window, message, wParam, lParam);
}

TEST_F(MainWindowTest, ARefusedItemIsReportedAndTheOthersAreStillListed) {
    for (const char* name : {"alice", "bob", "carol"}) {
        AddCertificate(name);
    }
    Run([this](HWND window, HWND list, HWND) {
        int inserts = 0;
        ::SetWindowSubclass(list, &RefuseSecondInsert, 1, reinterpret_cast<DWORD_PTR>(&inserts));
        DeleteValue(kUsersPath, "bob"); // and back: the list is filled again
        AddCertificate("bob");
        SetBinary(kUsersPath, "zz", "\x01");
        dialog.RefreshCertificateList();
        ::RemoveWindowSubclass(list, &RefuseSecondInsert, 1);
        EXPECT_EQ((std::vector<std::string>{"alice", "carol", "zz"}), ListItems(list));
        EXPECT_TRUE(Redraws(list)) << "the list was left not redrawing";
        ASSERT_EQ(1u, MessageBoxes().calls.size());
        const MessageBoxCall& call = MessageBoxes().calls[0];
        EXPECT_EQ(window, call.owner);
        EXPECT_EQ("InserItem", call.text);
        EXPECT_EQ("Error!", call.caption);
        EXPECT_EQ(16u, call.type);
    });
}

TEST_F(MainWindowTest, SystemMenuEndsWithTheAboutItemAndBothIconsAreTheApplicationIcon) {
    Run([](HWND window, HWND, HWND) {
        HMENU menu = ::GetSystemMenu(window, FALSE);
        int count = ::GetMenuItemCount(menu);
        ASSERT_GE(count, 2);
        EXPECT_EQ(static_cast<UINT>(MF_SEPARATOR),
                  ::GetMenuState(menu, count - 2, MF_BYPOSITION) & MF_SEPARATOR);
        EXPECT_EQ(16u, ::GetMenuItemID(menu, count - 1));
        char text[64] = {};
        ::GetMenuStringA(menu, count - 1, text, sizeof text, MF_BYPOSITION);
        EXPECT_STREQ("&About Wardkeep...", text);

        LRESULT big = ::SendMessageA(window, WM_GETICON, ICON_BIG, 0);
        EXPECT_NE(0, big);
        EXPECT_EQ(big, ::SendMessageA(window, WM_GETICON, ICON_SMALL, 0));
        EXPECT_EQ(big, ::SendMessageA(window, WM_QUERYDRAGICON, 0, 0));

        std::string version;
        WhenDialogOpens("About Wardkeep", [&](HWND about) {
            EXPECT_EQ(window, ::GetWindow(about, GW_OWNER));
            version = WindowText(::GetDlgItem(about, IDC_ABOUT_VERSION));
            ClickButton(about, IDOK);
        });
        ::SendMessageA(window, WM_SYSCOMMAND, IDM_ABOUTBOX, 0);
        EXPECT_EQ("Version " WARDKEEP_VERSION_STRING, version);
    });
}

TEST_F(MainWindowTest, HelpOpensTheHelpFileAndClosesItWithTheWindow) {
    INT_PTR result = Run([](HWND window, HWND, HWND) {
        ::SendMessageA(window, WM_COMMAND, IDM_HELP, 0);
        HELPINFO info = {sizeof info, HELPINFO_WINDOW, IDC_CERTIFICATE_LIST, nullptr, 0, {0, 0}};
        ::SendMessageA(window, WM_HELP, 0, reinterpret_cast<LPARAM>(&info));
        BYTE keys[256] = {};
        ::GetKeyboardState(keys);
        keys[VK_CONTROL] = 0x80;
        ::SetKeyboardState(keys);
        ::SendMessageA(window, WM_HELP, 0, reinterpret_cast<LPARAM>(&info));
        keys[VK_CONTROL] = 0;
        ::SetKeyboardState(keys);
        ASSERT_EQ(2u, HelpCalls().calls.size());
        for (const HelpCall& call : HelpCalls().calls) {
            EXPECT_EQ(window, call.caller);
            EXPECT_EQ(fw::CWinApp::Current()->HelpFilePath(), call.file);
            EXPECT_EQ(static_cast<UINT>(HH_DISPLAY_TOC), call.command);
        }
    });
    EXPECT_EQ(IDCANCEL, result);
    ASSERT_EQ(3u, HelpCalls().calls.size());
    EXPECT_EQ(static_cast<UINT>(HH_CLOSE_ALL), HelpCalls().calls[2].command);
    EXPECT_TRUE(MessageBoxes().calls.empty());
}

TEST_F(MainWindowTest, HelpThatCannotOpenSaysSo) {
    HelpCalls().result = nullptr;
    Run([](HWND window, HWND, HWND) { ::SendMessageA(window, WM_COMMAND, IDM_HELP, 0); });
    ASSERT_EQ(1u, MessageBoxes().calls.size());
    EXPECT_EQ("Failed to launch help.", MessageBoxes().calls[0].text);
    EXPECT_EQ("wardkeep_tests", MessageBoxes().calls[0].caption);
    EXPECT_EQ(static_cast<UINT>(MB_OK | MB_ICONEXCLAMATION), MessageBoxes().calls[0].type);
}

TEST_F(MainWindowTest, NewCertificateRefreshesTheListWhenItEndsWithOkOnly) {
    AddCertificate("alice");
    Run([](HWND window, HWND list, HWND) {
        WhenDialogOpens("New Certificate", [window](HWND newCertificate) {
            EXPECT_EQ(window, ::GetWindow(newCertificate, GW_OWNER));
            ::SetDlgItemTextA(newCertificate, IDC_USER_ID, "bob");
            ClickButton(newCertificate, IDOK);
        });
        ::SendMessageA(window, WM_COMMAND, IDM_NEW_CERTIFICATE, 0);
        EXPECT_EQ((std::vector<std::string>{"alice", "bob"}), ListItems(list));

        WhenDialogOpens("New Certificate",
                        [](HWND newCertificate) { ClickButton(newCertificate, IDCANCEL); });
        ::SendMessageA(window, WM_COMMAND, IDM_NEW_CERTIFICATE, 0);
        EXPECT_EQ((std::vector<std::string>{"alice", "bob"}), ListItems(list));
    });
    EXPECT_TRUE(MessageBoxes().calls.empty());
}

TEST_F(MainWindowTest, F1InACommandsDialogRunsTheMainWindowsHelp) {
    Run([](HWND window, HWND, HWND) {
        WhenDialogOpens("New Certificate", [](HWND newCertificate) {
            HELPINFO info = {sizeof info, HELPINFO_WINDOW, IDC_USER_ID, nullptr, 0, {0, 0}};
            ::SendMessageA(newCertificate, WM_HELP, 0, reinterpret_cast<LPARAM>(&info));
            ClickButton(newCertificate, IDCANCEL);
        });
        ::SendMessageA(window, WM_COMMAND, IDM_NEW_CERTIFICATE, 0);
        ASSERT_EQ(1u, HelpCalls().calls.size());
        EXPECT_EQ(window, HelpCalls().calls[0].caller);
    });
}

// Records like the recorder; once the delete question is answered, memory runs out.
fw::MessageBoxFn g_recorder = nullptr;
std::optional<FailingAllocation> g_failure;
int AnswerThenRunOutOfMemory(HWND owner, const wchar_t* text, const wchar_t* caption, UINT type) {
    int answer = g_recorder(owner, text, caption, type);
    if (std::wcscmp(caption, L"Warning") == 0) {
        g_failure.emplace(0);
    }
    return answer;
}

TEST_F(MainWindowTest, AnExceptionInDeleteIsReportedAndTheListIsNotRefreshed) {
    AddCertificate("alice");
    g_recorder = fw::CurrentSeams().messageBox;
    fw::CurrentSeams().messageBox = &AnswerThenRunOutOfMemory;
    Run([&](HWND window, HWND list, HWND) {
        AddCertificate("bob"); // a refresh would show it
        ClickItem(window, list, 0);
        ::SendMessageA(window, WM_COMMAND, IDM_DELETE_CERTIFICATE, 0);
        EXPECT_TRUE(FailingAllocation::Fired());
        g_failure.reset();
        EXPECT_EQ((std::vector<std::string>{"alice"}), ListItems(list));
    });
    ASSERT_EQ(2u, MessageBoxes().calls.size());
    EXPECT_EQ("CWardkeepDlg::OnException(): Out of memory.", MessageBoxes().calls[1].text);
    EXPECT_EQ(MessageBoxes().calls[0].owner, MessageBoxes().calls[1].owner);
}

struct EndingCase : NamedCase {
    std::function<void(HWND window, HWND list)> end;
    INT_PTR expected;
};

class MainWindowEndingTest : public MainWindowTest,
                             public testing::WithParamInterface<EndingCase> {};

TEST_P(MainWindowEndingTest, EndsTheDialog) {
    AddCertificate("alice");
    INT_PTR result = RunModal(dialog, [](HWND window) {
        GetParam().end(window, ::GetDlgItem(window, IDC_CERTIFICATE_LIST));
    });
    EXPECT_EQ(GetParam().expected, result);
    EXPECT_TRUE(MessageBoxes().calls.empty());
}

void PostKey(HWND list, WPARAM key) {
    ::SetFocus(list);
    ::PostMessageA(list, WM_KEYDOWN, key, 1);
    ::PostMessageA(list, WM_KEYUP, key, 0xC0000001);
}

INSTANTIATE_TEST_SUITE_P(
    MainWindow, MainWindowEndingTest,
    testing::Values(
        EndingCase{{"ExitMenuItem"},
                   [](HWND window, HWND) { ::PostMessageA(window, WM_COMMAND, IDOK, 0); },
                   IDOK},
        EndingCase{{"EnterKey"}, [](HWND, HWND list) { PostKey(list, VK_RETURN); }, IDOK},
        EndingCase{{"EscapeKey"}, [](HWND, HWND list) { PostKey(list, VK_ESCAPE); }, IDCANCEL},
        EndingCase{{"CloseBox"},
                   [](HWND window, HWND) { ::PostMessageA(window, WM_SYSCOMMAND, SC_CLOSE, 0); },
                   IDCANCEL}),
    CaseName<EndingCase>);

} // namespace
