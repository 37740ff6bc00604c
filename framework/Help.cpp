#include "Help.h"

#include "App.h"
#include "Seams.h"

#include <htmlhelp.h>

#include <string>

namespace fw {

// String resource with the text shown when help cannot be opened.
constexpr UINT kFailedToLaunchHelp = 61703;

namespace {

// The help file's path as HTML Help can take it: HTML Help fails, or even crashes, on a path of
// MAX_PATH characters or more, so a longer one is given in its short (8.3) form. Empty when
// there is no such form (no file, or short names off).
std::wstring HelpPathForHtmlHelp(const std::wstring& path) {
    if (path.size() < MAX_PATH) {
        return path;
    }
    wchar_t shortPath[MAX_PATH] = {};
    DWORD length = ::GetShortPathNameW(path.c_str(), shortPath, MAX_PATH);
    return length > 0 && length < MAX_PATH ? std::wstring(shortPath, length) : std::wstring();
}

} // namespace

void OpenHelpContents(HWND owner) {
    HCURSOR previous = ::SetCursor(::LoadCursor(nullptr, IDC_WAIT));
    ::ReleaseCapture();
    CWinApp* app = CWinApp::Current();
    std::wstring path = app == nullptr ? std::wstring() : HelpPathForHtmlHelp(app->HelpFilePath());
    HWND help =
        path.empty() ? nullptr : CurrentSeams().htmlHelp(owner, path.c_str(), HH_DISPLAY_TOC, 0);
    ::SetCursor(previous);
    if (help == nullptr) {
        FrameworkMessageBox(LoadResourceString(kFailedToLaunchHelp).c_str());
    }
}

void CloseAllHelp() {
    CurrentSeams().htmlHelp(nullptr, nullptr, HH_CLOSE_ALL, 0);
}

} // namespace fw
