#include "Help.h"

#include "App.h"
#include "Seams.h"

#include <htmlhelp.h>

namespace fw {

// String resource with the text shown when help cannot be opened.
constexpr UINT kFailedToLaunchHelp = 61703;

void OpenHelpContents(HWND owner) {
    HCURSOR previous = ::SetCursor(::LoadCursor(nullptr, IDC_WAIT));
    ::ReleaseCapture();
    CWinApp* app = CWinApp::Current();
    HWND help = app == nullptr ? nullptr
                               : CurrentSeams().htmlHelp(owner, app->HelpFilePath().c_str(),
                                                         HH_DISPLAY_TOC, 0);
    ::SetCursor(previous);
    if (help == nullptr) {
        FrameworkMessageBox(LoadResourceString(kFailedToLaunchHelp).c_str());
    }
}

void CloseAllHelp() {
    CurrentSeams().htmlHelp(nullptr, nullptr, HH_CLOSE_ALL, 0);
}

} // namespace fw
