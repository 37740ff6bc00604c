// The application's help, shown with HTML Help from the help file next to the program.
#pragma once

#include "Win32.h"

namespace fw {

// Opens the help file at its table of contents, under the wait cursor; a failure shows the
// framework message "Failed to launch help.".
void OpenHelpContents(HWND owner);

// Closes every help window this program opened.
void CloseAllHelp();

} // namespace fw
