// Journeys through the main window. The real wardkeep.exe runs as a separate process in the
// build tree's Wine prefix; this driver works it only from outside, with the window messages a
// mouse and keyboard would cause, and checks what the window shows and what the registry holds.
#include "E2eEnvironment.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

// The program as a user and the rest of the system see it.
constexpr int kUserIdEdit = 1010;
constexpr int kCertificateList = 1011;
constexpr WPARAM kDeleteCertificateCommand = 32774;
constexpr WPARAM kExitCommand = IDOK; // the "&Exit" menu item
constexpr int kMessageBoxText = 0xFFFF;
const char kLockwellKey[] = "SOFTWARE\\Lockwell";
const char kUsersKey[] = "SOFTWARE\\Lockwell\\Users_lkw_20";
const char kCookiesKey[] = "SOFTWARE\\Lockwell\\Cookies_lkw_20";
const char kDeleteQuestion[] = "Do you really want to delete\nthis certificate? Any files\n"
                               "previously encrypted with this\nkey will not be recoverable!";

// Neither in byte order nor in case-insensitive order, so no order comes from seeding.
const std::vector<std::string> kSeededUserIds = {"mwilson", "Zara.K", "AChen", "jdoe"};

constexpr DWORD kTimeoutMs = 20000;

template <typename Condition> bool WaitFor(Condition done) {
    ULONGLONG deadline = ::GetTickCount64() + kTimeoutMs;
    while (!done()) {
        if (::GetTickCount64() > deadline) {
            return false;
        }
        ::Sleep(10);
    }
    return true;
}

// --- The store, in the prefix's machine hive ---

void DeleteStore() {
    e2e::WithPrefixMachineHive([] { ::RegDeleteTreeA(HKEY_LOCAL_MACHINE, kLockwellKey); });
}

void SeedValue(const char* keyPath, const std::string& name, const std::string& bytes) {
    e2e::WithPrefixMachineHive([&] {
        LSTATUS status = ::RegSetKeyValueA(HKEY_LOCAL_MACHINE, keyPath, name.c_str(), REG_BINARY,
                                           bytes.data(), static_cast<DWORD>(bytes.size()));
        EXPECT_EQ(ERROR_SUCCESS, status) << "seeding " << keyPath << "\\" << name;
    });
}

bool ValueExists(const char* keyPath, const std::string& name) {
    LSTATUS status = ERROR_SUCCESS;
    e2e::WithPrefixMachineHive([&] {
        status = ::RegGetValueA(HKEY_LOCAL_MACHINE, keyPath, name.c_str(), RRF_RT_ANY, nullptr,
                                nullptr, nullptr);
    });
    return status == ERROR_SUCCESS;
}

// The value names of a key as RegEnumValue yields them.
std::vector<std::string> EnumeratedNames(const char* keyPath) {
    std::vector<std::string> names;
    e2e::WithPrefixMachineHive([&] {
        HKEY key = nullptr;
        if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, keyPath, 0, KEY_READ, &key) != ERROR_SUCCESS) {
            return;
        }
        char name[256];
        DWORD length = sizeof name;
        for (DWORD i = 0; ::RegEnumValueA(key, i, name, &length, nullptr, nullptr, nullptr,
                                          nullptr) == ERROR_SUCCESS;
             ++i, length = sizeof name) {
            names.emplace_back(name, length);
        }
        ::RegCloseKey(key);
    });
    return names;
}

// --- The program's process and windows ---

LRESULT Send(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    DWORD_PTR result = 0;
    if (::SendMessageTimeoutA(window, message, wParam, lParam, SMTO_ABORTIFHUNG, 5000, &result) ==
        0) {
        ADD_FAILURE() << "message 0x" << std::hex << message << " not answered";
    }
    return static_cast<LRESULT>(result);
}

std::string WindowText(HWND window) {
    char text[512] = {};
    Send(window, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text));
    return text;
}

// A visible dialog of process `processId` with this caption (and owner, unless null).
HWND FindDialog(DWORD processId, const char* caption, HWND owner) {
    struct Search {
        DWORD processId;
        const char* caption;
        HWND owner;
        HWND found;
    } search = {processId, caption, owner, nullptr};
    ::EnumWindows(
        [](HWND window, LPARAM param) -> BOOL {
            Search& s = *reinterpret_cast<Search*>(param);
            DWORD id = 0;
            ::GetWindowThreadProcessId(window, &id);
            char className[64] = {};
            char text[256] = {};
            ::GetClassNameA(window, className, sizeof className);
            ::GetWindowTextA(window, text, sizeof text);
            if (id == s.processId && ::IsWindowVisible(window) &&
                std::string(className) == "#32770" && std::string(text) == s.caption &&
                (s.owner == nullptr || ::GetWindow(window, GW_OWNER) == s.owner)) {
                s.found = window;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

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

class MainWindowJourney : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!e2e::RunningUnderWine()) {
            GTEST_SKIP() << "drives wardkeep.exe in the build tree's Wine prefix: not under Wine";
        }
        ASSERT_EQ(e2e::ExpectedWinePrefix(), e2e::WinePrefix())
            << "refusing to touch a registry outside the build tree's private Wine prefix";
        ASSERT_FALSE(e2e::ProgramPath().empty()) << "usage: wardkeep_e2e <path of wardkeep.exe>";
        m_seeded = true;
        DeleteStore();
        for (const std::string& userId : kSeededUserIds) {
            SeedValue(kUsersKey, userId, "user key of " + userId);
            SeedValue(kCookiesKey, userId, "cookie of " + userId);
        }
    }

    void TearDown() override {
        if (m_process.hProcess != nullptr) {
            if (::WaitForSingleObject(m_process.hProcess, 0) == WAIT_TIMEOUT) {
                ::TerminateProcess(m_process.hProcess, 99);
                ::WaitForSingleObject(m_process.hProcess, kTimeoutMs);
            }
            ::CloseHandle(m_process.hProcess);
            ::CloseHandle(m_process.hThread);
        }
        if (m_seeded) {
            DeleteStore();
        }
    }

    void StartProgram() {
        std::string commandLine = "\"" + e2e::ProgramPath() + "\"";
        STARTUPINFOA startup = {};
        startup.cb = sizeof startup;
        ASSERT_TRUE(::CreateProcessA(e2e::ProgramPath().c_str(), commandLine.data(), nullptr,
                                     nullptr, FALSE, 0, nullptr, nullptr, &startup, &m_process))
            << "cannot start " << e2e::ProgramPath() << ": error " << ::GetLastError();
        ASSERT_TRUE(WaitFor([&] {
            m_main = FindDialog(m_process.dwProcessId, "Wardkeep", nullptr);
            return m_main != nullptr;
        })) << "no \"Wardkeep\" window within 20 s";
        m_list = ::GetDlgItem(m_main, kCertificateList);
        m_userId = ::GetDlgItem(m_main, kUserIdEdit);
        ASSERT_NE(nullptr, m_list);
        ASSERT_NE(nullptr, m_userId);
    }

    int ItemCount() { return static_cast<int>(Send(m_list, LVM_GETITEMCOUNT, 0, 0)); }

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

    // The question the program asks before deleting, checked and answered with `button`.
    void AnswerDeleteQuestion(int button) {
        HWND box = nullptr;
        ASSERT_TRUE(WaitFor([&] {
            box = FindDialog(m_process.dwProcessId, "Warning", m_main);
            return box != nullptr;
        })) << (FindDialog(m_process.dwProcessId, "Warning", nullptr) != nullptr
                    ? "the \"Warning\" box is not owned by the main window"
                    : "no \"Warning\" box within 20 s");
        EXPECT_EQ(kDeleteQuestion, WindowText(::GetDlgItem(box, kMessageBoxText)));
        EXPECT_FALSE(::IsWindowEnabled(m_main)) << "the question is not modal";
        HWND answer = ::GetDlgItem(box, button);
        ASSERT_NE(nullptr, answer) << "the question has no button " << button;
        ::PostMessageA(answer, BM_CLICK, 0, 0);
        ASSERT_TRUE(WaitFor([&] { return !::IsWindow(box); })) << "the box stays open";
        // Answered only after the handler that asked has finished.
        Send(m_main, WM_NULL, 0, 0);
    }

    void ExpectCertificate(const std::string& userId, bool present) {
        EXPECT_EQ(present, ValueExists(kUsersKey, userId)) << "Users value of " << userId;
        EXPECT_EQ(present, ValueExists(kCookiesKey, userId)) << "Cookies value of " << userId;
    }

    void ExpectProgramEnds() {
        ASSERT_EQ(WAIT_OBJECT_0, ::WaitForSingleObject(m_process.hProcess, kTimeoutMs))
            << "the program is still running 20 s later";
        DWORD exitCode = 1;
        ::GetExitCodeProcess(m_process.hProcess, &exitCode);
        EXPECT_EQ(0u, exitCode);
    }

    PROCESS_INFORMATION m_process = {};
    HWND m_main = nullptr;
    HWND m_list = nullptr;
    HWND m_userId = nullptr;
    bool m_seeded = false;
};

TEST_F(MainWindowJourney, DeleteKeyRemovesTheClickedCertificateOnlyAfterOk) {
    ASSERT_NO_FATAL_FAILURE(StartProgram());
    std::vector<std::string> listed = ListItems();
    EXPECT_EQ(EnumeratedNames(kUsersKey), listed);
    std::vector<std::string> sortedListed = listed;
    std::vector<std::string> sortedSeeded = kSeededUserIds;
    std::sort(sortedListed.begin(), sortedListed.end());
    std::sort(sortedSeeded.begin(), sortedSeeded.end());
    EXPECT_EQ(sortedSeeded, sortedListed);

    ASSERT_NO_FATAL_FAILURE(ClickItem("jdoe"));
    PressKeyInList(VK_DELETE);
    ASSERT_NO_FATAL_FAILURE(AnswerDeleteQuestion(IDCANCEL));
    EXPECT_EQ(listed, ListItems());
    for (const std::string& userId : kSeededUserIds) {
        ExpectCertificate(userId, true);
    }

    PressKeyInList(VK_DELETE);
    ASSERT_NO_FATAL_FAILURE(AnswerDeleteQuestion(IDOK));
    EXPECT_TRUE(WaitFor([&] { return ItemCount() == static_cast<int>(listed.size()) - 1; }))
        << "the list still has " << ItemCount() << " items";
    ExpectCertificate("jdoe", false);
    for (const char* userId : {"mwilson", "Zara.K", "AChen"}) {
        ExpectCertificate(userId, true);
    }
    EXPECT_EQ(EnumeratedNames(kUsersKey), ListItems());

    // Esc in the list is the dialog's Cancel: the program ends.
    PressKeyInList(VK_ESCAPE);
    ExpectProgramEnds();
}

TEST_F(MainWindowJourney, MenuDeletesTheClickedCertificateAndExitEndsTheProgram) {
    ASSERT_NO_FATAL_FAILURE(StartProgram());
    ASSERT_NO_FATAL_FAILURE(ClickItem("Zara.K"));
    ::PostMessageA(m_main, WM_COMMAND, kDeleteCertificateCommand, 0);
    ASSERT_NO_FATAL_FAILURE(AnswerDeleteQuestion(IDOK));
    EXPECT_TRUE(WaitFor([&] { return ItemCount() == static_cast<int>(kSeededUserIds.size()) - 1; }))
        << "the list still has " << ItemCount() << " items";
    for (const std::string& userId : kSeededUserIds) {
        ExpectCertificate(userId, userId != "Zara.K");
    }
    EXPECT_EQ(EnumeratedNames(kUsersKey), ListItems());

    ::PostMessageA(m_main, WM_COMMAND, kExitCommand, 0);
    ExpectProgramEnds();
}

} // namespace
