// The application object: one per program, created statically before the entry point runs.
#pragma once

#include "Win32.h"

#include <string>

namespace fw {

class CDialog;

class CWinApp {
  public:
    CWinApp();
    virtual ~CWinApp();
    CWinApp(const CWinApp&) = delete;
    CWinApp& operator=(const CWinApp&) = delete;

    // The one application object, or null before it is constructed.
    static CWinApp* Current();

    // Runs the program. Returning FALSE ends the program at once, without a message loop.
    virtual BOOL InitInstance() { return FALSE; }

    // The program file's name without directory and extension; the caption of framework
    // message boxes.
    const std::wstring& Name() const { return m_name; }
    // The program file's path with its extension replaced by ".chm".
    const std::wstring& HelpFilePath() const { return m_helpFilePath; }

    // The window that owns framework message boxes and dialogs constructed without a parent.
    CDialog* MainWindow() const { return m_mainWindow; }
    void SetMainWindow(CDialog* window) { m_mainWindow = window; }

  private:
    std::wstring m_name;
    std::wstring m_helpFilePath;
    CDialog* m_mainWindow = nullptr;
};

// The module that holds the program's resources.
HINSTANCE ResourceHandle();

// Loads string resource `id`; empty when there is none.
std::string LoadResourceString(UINT id);

// The framework message box: caption is the application's name; owner is `owner`, the window the
// user is working in, or the main window when that is null; a style that names no icon gets the
// exclamation icon. Text in the ANSI code page is shown as its characters; a text of up to 1,023
// characters is shown without allocating memory.
int FrameworkMessageBox(const char* text, UINT type = MB_OK, HWND owner = nullptr);
int FrameworkMessageBox(const wchar_t* text, UINT type = MB_OK, HWND owner = nullptr);

// A message box with `text` and `caption` in the ANSI code page.
int AnsiMessageBox(HWND owner, const char* text, const char* caption, UINT type);

// Starts the framework: common controls for the dialogs. Called once by the entry point.
void InitFramework();

} // namespace fw
