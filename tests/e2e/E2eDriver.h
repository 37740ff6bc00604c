// What the driver does to the programs under test, from outside: starts the window program and
// works it with the window messages a mouse and keyboard would cause, and runs the console
// program with its standard streams in files.
#pragma once

#include "E2eEnvironment.h"
#include "E2eStore.h"

#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace e2e {

inline constexpr DWORD kTimeoutMs = 20000;

// Polls `done` until it holds; false when it still does not after kTimeoutMs.
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

// ---- The window program ----------------------------------------------------------------------

// The program as a user and the rest of the system see it.
inline constexpr int kUserIdEdit = 1010;
inline constexpr int kCertificateList = 1011;
inline constexpr WPARAM kChangePasswordCommand = 32771;
inline constexpr WPARAM kImportCertificateCommand = 32772;
inline constexpr WPARAM kExportCertificateCommand = 32773;
inline constexpr WPARAM kDeleteCertificateCommand = 32774;
inline constexpr WPARAM kNewCertificateCommand = 32776;
inline constexpr WPARAM kExitCommand = IDOK; // the "&Exit" menu item
inline constexpr int kMessageBoxText = 0xFFFF;
// New Certificate fields, then Change Password fields.
inline constexpr int kNewUserId = 1010, kNewPassword = 1008, kNewRetyped = 1009;
inline constexpr int kOldPassword = 1018, kChangedPassword = 1019, kChangedRetyped = 1020;

LRESULT Send(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
std::string WindowText(HWND window);
// A visible dialog of process `processId` with this caption (and owner, unless null).
HWND FindDialog(DWORD processId, const char* caption, HWND owner);

// A test that runs the window program on the prefix's store; the program ends with the test.
class WindowProgramTest : public PrefixStoreTest {
  protected:
    void TearDown() override;

    // Starts the program and waits for its main window.
    void StartProgram(const std::string& path = ProgramPath());
    int ItemCount() { return static_cast<int>(Send(m_list, LVM_GETITEMCOUNT, 0, 0)); }
    // Waits for the program's dialog with `caption`, owned by `owner`, and checks it is modal.
    void WaitForDialog(const char* caption, HWND owner, HWND& found);
    // Checks the message box with `caption`, owned by `owner`, and answers with `button`.
    void AnswerBox(const char* caption, HWND owner, const char* text, int button);
    // Opens New Certificate from the menu and fills in its three fields.
    void OpenNewCertificate(const char* userId, const char* password, const char* retyped,
                            HWND& dialog);
    // Clicks OK in New Certificate and waits for it to close after its 3-second pause.
    void ConfirmNewCertificate(HWND dialog);
    static void Type(HWND dialog, int field, const char* text) {
        Send(::GetDlgItem(dialog, field), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text));
    }
    static void Click(HWND dialog, int button) {
        ::PostMessageA(::GetDlgItem(dialog, button), BM_CLICK, 0, 0);
    }
    void ExpectProgramEnds();

    PROCESS_INFORMATION m_process = {};
    HWND m_main = nullptr;
    HWND m_list = nullptr;
    HWND m_userId = nullptr;
};

// ---- The console program ---------------------------------------------------------------------

struct Outcome {
    DWORD exitCode = 0xFFFFFFFF;
    std::string out;
    std::string err;
};

// Text in the ANSI code page as UTF-16.
std::wstring Widen(const std::string& ansi);

// The command line of `program` with `args` (in the ANSI code page, or UTF-16 for characters it
// lacks), each quoted as the C runtime splits a command line: the backslashes before a quote
// doubled.
std::wstring CommandLine(const std::string& program, const std::vector<std::wstring>& args);
std::wstring CommandLine(const std::string& program, const std::vector<std::string>& args);

void WriteFileBytes(const std::string& path, const std::string& bytes);

// A folder of its own under the temporary folder, removed with what it holds.
class TempFolder {
  public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    std::string File(const std::string& name) const { return m_path + "\\" + name; }

  private:
    std::string m_path;
};

// How RunProcess starts the program: by default without a console, standard input a file.
struct ProcessStart {
    bool ownConsole = false; // with a console of its own beside its redirected streams
    bool inputPipe = false;  // standard input a pipe, closed once `input` is in it
};

// Runs `program` with `args`, `input` on its standard input and its output streams caught in
// files of `folder`; standard output goes to `outputPath` instead when one is given. A program
// still running after kTimeoutMs fails the test and is ended.
Outcome RunProcess(const std::wstring& commandLine, const std::string& input,
                   const TempFolder& folder, const std::string& outputPath = "",
                   ProcessStart start = {});

// wardkeepc.exe, next to wardkeep.exe.
std::string ConsoleProgramPath();

} // namespace e2e
