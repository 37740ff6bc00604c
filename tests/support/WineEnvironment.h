// Where a program that drives Wardkeep from outside runs: whether under Wine, and in which
// prefix. The e2e driver and the store benchmark touch a registry only in the build tree's own.
#pragma once

#include <windows.h>

#include <string>

namespace wine_environment {

// True when this process runs under Wine.
inline bool RunningUnderWine() {
    HMODULE ntdll = ::GetModuleHandleA("ntdll.dll");
    return ntdll != nullptr && ::GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

// This process's WINEPREFIX, without trailing slashes; empty when there is none.
inline std::string WinePrefix() {
    char value[MAX_PATH] = {};
    DWORD length = ::GetEnvironmentVariableA("WINEPREFIX", value, sizeof value);
    std::string prefix(value, length < sizeof value ? length : 0);
    while (prefix.size() > 1 && prefix.back() == '/') {
        prefix.pop_back();
    }
    return prefix;
}

} // namespace wine_environment
