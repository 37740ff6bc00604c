// Functions of system DLLs, taken from the system directory only. Both programs run with
// administrator rights, and the folder a portable copy runs from (Downloads, a share) may be
// writable by others: a DLL of a system DLL's name placed there must never run inside them.
#pragma once

#include "Win32.h"

namespace fw {

// Makes the system directory the only place the loader searches for DLLs that this process or
// the system's own DLLs load by name later. Called first thing by both programs' entry points;
// false when the system refuses.
bool ProtectDllSearch();

// Function `name` of system DLL `library`, loaded from the system directory on first use and kept
// loaded; null when the DLL or the function is missing.
FARPROC SystemProcedure(const char* library, const char* name);

template <class Function> Function SystemFunction(const char* library, const char* name) {
    return reinterpret_cast<Function>(reinterpret_cast<void*>(SystemProcedure(library, name)));
}

} // namespace fw
