// The one place that pulls in the Windows headers, with the settings the whole program uses:
// ANSI ("A") entry points unless the code names the UTF-16 ("W") one, no min/max macros,
// Windows 10 API level (the oldest system the manifests name: BCryptHash needs it).
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
// A standard header included earlier may have set it to MinGW's default, the same value.
#ifndef _WIN32_WINNT
#define _WIN32_WINNT 0x0A00
#endif
#ifndef WINVER
#define WINVER _WIN32_WINNT
#endif
#if _WIN32_WINNT != 0x0A00 || WINVER != 0x0A00
#error "Wardkeep is built for the Windows 10 API level: _WIN32_WINNT and WINVER 0x0A00"
#endif
#include <windows.h>
#include <commctrl.h>
