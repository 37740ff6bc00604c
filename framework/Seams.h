// Every call the program makes to a platform facility that a test must be able to replace:
// the message box, the HTML Help call, the pause, the cursor, the clock, the file dialogs and the
// event log.
// Product code calls through these pointers only; tests swap them for recorders and restore the
// defaults afterwards.
#pragma once

#include "Win32.h"

#include <commdlg.h>

namespace fw {

using MessageBoxFn = int (*)(HWND owner, const wchar_t* text, const wchar_t* caption, UINT type);
// HTML Help (HtmlHelpW): the help file's path stays UTF-16, so a program in any folder finds it.
using HtmlHelpFn = HWND (*)(HWND caller, const wchar_t* file, UINT command, DWORD_PTR data);
// Blocks the program for `milliseconds`, message handling included.
using PauseFn = void (*)(DWORD milliseconds);
// Shows one of the system's cursors (IDC_WAIT, IDC_ARROW).
using ShowCursorFn = void (*)(const char* systemCursor);
// The current time in UTC.
using SystemTimeFn = void (*)(SYSTEMTIME* now);
// The standard save or open dialog (GetSaveFileNameW, GetOpenFileNameW): paths stay UTF-16, so
// any name Windows allows can be chosen.
using FileDialogFn = BOOL (*)(OPENFILENAMEW* request);
// Writes event `eventId` of type `type` (EVENTLOG_INFORMATION_TYPE...) with its inserts to the
// Application event log under the source "Wardkeep", for the account `user` (ReportEventW).
// Returns ERROR_SUCCESS or the system's error code.
using ReportEventFn = DWORD (*)(WORD type, DWORD eventId, PSID user, WORD count,
                                const wchar_t** strings);

struct Seams {
    MessageBoxFn messageBox;
    HtmlHelpFn htmlHelp;
    PauseFn pause;
    ShowCursorFn showCursor;
    SystemTimeFn systemTime;
    FileDialogFn saveFileDialog;
    FileDialogFn openFileDialog;
    ReportEventFn reportEvent;
};

// The live set of seams; starts with the platform's own functions.
Seams& CurrentSeams();
// The platform's own functions, for restoring after a test.
Seams PlatformSeams();

// Shows the wait cursor from construction until Restore or destruction, which show the arrow.
class CWaitCursor {
  public:
    CWaitCursor() { CurrentSeams().showCursor(IDC_WAIT); }
    ~CWaitCursor() { Restore(); }
    CWaitCursor(const CWaitCursor&) = delete;
    CWaitCursor& operator=(const CWaitCursor&) = delete;
    void Restore() {
        if (!m_restored) {
            m_restored = true;
            CurrentSeams().showCursor(IDC_ARROW);
        }
    }

  private:
    bool m_restored = false;
};

} // namespace fw
