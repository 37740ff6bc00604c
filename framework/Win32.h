// The one place that pulls in the Windows headers, with the settings the whole program uses:
// ANSI ("A") entry points, no min/max macros, Windows 7 API level.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#include <commctrl.h>
