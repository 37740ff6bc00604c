#include "Seams.h"

#include <htmlhelp.h>

namespace fw {
namespace {

int PlatformMessageBox(HWND owner, const char* text, const char* caption, UINT type) {
    return ::MessageBoxA(owner, text, caption, type);
}

// hhctrl.ocx is loaded on first use rather than at program start, so the program starts even
// where HTML Help is not installed; help then fails like a missing help file. It is loaded from
// the system directory only: the program runs elevated, and a DLL of that name placed next to it
// must never run with administrator rights.
HWND PlatformHtmlHelp(HWND caller, const char* file, UINT command, DWORD_PTR data) {
    using HtmlHelpAFn = HWND(WINAPI*)(HWND, LPCSTR, UINT, DWORD_PTR);
    static HtmlHelpAFn htmlHelpA = nullptr;
    if (htmlHelpA == nullptr) {
        if (command == HH_CLOSE_ALL) {
            return nullptr; // never opened, nothing to close
        }
        HMODULE library = ::LoadLibraryExA("hhctrl.ocx", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
        if (library == nullptr) {
            return nullptr;
        }
        htmlHelpA = reinterpret_cast<HtmlHelpAFn>(
            reinterpret_cast<void*>(::GetProcAddress(library, "HtmlHelpA")));
        if (htmlHelpA == nullptr) {
            ::FreeLibrary(library);
            return nullptr;
        }
    }
    return htmlHelpA(caller, file, command, data);
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

BOOL PlatformSaveFileDialog(OPENFILENAMEA* request) {
    return ::GetSaveFileNameA(request);
}

BOOL PlatformOpenFileDialog(OPENFILENAMEA* request) {
    return ::GetOpenFileNameA(request);
}

} // namespace

Seams PlatformSeams() {
    return Seams{&PlatformMessageBox,    &PlatformHtmlHelp,   &PlatformPause,
                 &PlatformShowCursor,    &PlatformSystemTime, &PlatformSaveFileDialog,
                 &PlatformOpenFileDialog};
}

Seams& CurrentSeams() {
    static Seams seams = PlatformSeams();
    return seams;
}

} // namespace fw
