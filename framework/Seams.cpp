#include "Seams.h"

#include "SystemLibrary.h"

#include <htmlhelp.h>

namespace fw {
namespace {

int PlatformMessageBox(HWND owner, const wchar_t* text, const wchar_t* caption, UINT type) {
    return ::MessageBoxW(owner, text, caption, type);
}

// hhctrl.ocx and comdlg32 are loaded on first use rather than at start: comdlg32 alone would add
// tens of milliseconds to every start under Wine, and a missing hhctrl.ocx must not stop the
// program from starting (help then fails like a missing help file).
HWND PlatformHtmlHelp(HWND caller, const wchar_t* file, UINT command, DWORD_PTR data) {
    using HtmlHelpWFn = HWND(WINAPI*)(HWND, LPCWSTR, UINT, DWORD_PTR);
    static HtmlHelpWFn htmlHelpW = nullptr;
    if (htmlHelpW == nullptr) {
        if (command == HH_CLOSE_ALL) {
            return nullptr; // never opened, nothing to close
        }
        htmlHelpW = SystemFunction<HtmlHelpWFn>("hhctrl.ocx", "HtmlHelpW");
        if (htmlHelpW == nullptr) {
            return nullptr;
        }
    }
    return htmlHelpW(caller, file, command, data);
}

void PlatformPause(DWORD milliseconds) {
    ::Sleep(milliseconds);
}

void PlatformShowCursor(const char* systemCursor) {
    ::SetCursor(::LoadCursorA(nullptr, systemCursor));
}

void PlatformSystemTime(SYSTEMTIME* now) {
    ::GetSystemTime(now);
}

using FileDialogFunction = BOOL(WINAPI*)(OPENFILENAMEW*);

// A missing comdlg32 makes the dialog fail as if cancelled.
BOOL PlatformSaveFileDialog(OPENFILENAMEW* request) {
    static const auto save = SystemFunction<FileDialogFunction>("comdlg32.dll", "GetSaveFileNameW");
    return save != nullptr && save(request);
}

BOOL PlatformOpenFileDialog(OPENFILENAMEW* request) {
    static const auto open = SystemFunction<FileDialogFunction>("comdlg32.dll", "GetOpenFileNameW");
    return open != nullptr && open(request);
}

// The source is registered once, on the first event, and stays registered until the process
// ends. Registering needs no installed source: without one, Event Viewer still shows the inserts.
DWORD PlatformReportEvent(WORD type, DWORD eventId, PSID user, WORD count,
                          const wchar_t** strings) {
    static DWORD registerError = ERROR_SUCCESS;
    static const HANDLE source = [] {
        HANDLE registered = ::RegisterEventSourceW(nullptr, L"Wardkeep");
        registerError = registered != nullptr ? ERROR_SUCCESS : ::GetLastError();
        return registered;
    }();
    if (source == nullptr) {
        return registerError;
    }
    return ::ReportEventW(source, type, 0, eventId, user, count, 0, strings, nullptr)
               ? ERROR_SUCCESS
               : ::GetLastError();
}

} // namespace

Seams PlatformSeams() {
    return Seams{&PlatformMessageBox,     &PlatformHtmlHelp,   &PlatformPause,
                 &PlatformShowCursor,     &PlatformSystemTime, &PlatformSaveFileDialog,
                 &PlatformOpenFileDialog, &PlatformReportEvent};
}

Seams& CurrentSeams() {
    static Seams seams = PlatformSeams();
    return seams;
}

} // namespace fw
