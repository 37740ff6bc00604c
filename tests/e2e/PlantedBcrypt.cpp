// Stands in for a bcrypt.dll that another account left in a folder it can write, beside a program
// that runs elevated. Each process that loads it adds its program's path, a line each, to the
// file beside it named like itself with ".loaded" added; the load then succeeds, with none of
// bcrypt's functions.
#include <windows.h>

#include <cstring>

BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID) {
    if (reason != DLL_PROCESS_ATTACH) {
        return TRUE;
    }
    char marker[MAX_PATH + 8] = {};
    std::memcpy(marker + ::GetModuleFileNameA(self, marker, MAX_PATH), ".loaded", 8);
    char line[MAX_PATH + 2] = {};
    DWORD length = ::GetModuleFileNameA(nullptr, line, MAX_PATH);
    std::memcpy(line + length, "\r\n", 2);
    HANDLE file = ::CreateFileA(marker, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_ALWAYS, 0, nullptr);
    DWORD written = 0;
    ::WriteFile(file, line, length + 2, &written, nullptr);
    ::CloseHandle(file);
    return TRUE;
}
