// Every call the program makes to a platform facility that a test must be able to replace:
// the message box and the HTML Help call. Product code calls through these pointers only;
// tests swap them for recorders and restore the defaults afterwards.
#pragma once

#include "Win32.h"

namespace fw {

using MessageBoxFn = int (*)(HWND owner, const char* text, const char* caption, UINT type);
using HtmlHelpFn = HWND (*)(HWND caller, const char* file, UINT command, DWORD_PTR data);

struct Seams {
    MessageBoxFn messageBox;
    HtmlHelpFn htmlHelp;
};

// The live set of seams; starts with the platform's own functions.
Seams& CurrentSeams();
// The platform's own functions, for restoring after a test.
Seams PlatformSeams();

} // namespace fw
