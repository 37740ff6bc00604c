#include "SystemLibrary.h"

namespace fw {

bool ProtectDllSearch() {
    return ::SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32) != FALSE;
}

FARPROC SystemProcedure(const char* library, const char* name) {
    HMODULE module = ::LoadLibraryExA(library, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    if (module == nullptr) {
        return nullptr;
    }
    FARPROC function = ::GetProcAddress(module, name);
    if (function == nullptr) {
        ::FreeLibrary(module);
    }
    return function;
}

} // namespace fw
