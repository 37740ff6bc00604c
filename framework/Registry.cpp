#include "Registry.h"

namespace fw {
namespace {

UniqueHKey KeptOnSuccess(LONG status, HKEY key) {
    ::SetLastError(static_cast<DWORD>(status));
    return UniqueHKey(status == ERROR_SUCCESS ? key : nullptr);
}

} // namespace

UniqueHKey OpenRegistryKey(HKEY root, const char* path, REGSAM access) {
    HKEY key = nullptr;
    LONG status = ::RegOpenKeyExA(root, path, 0, access, &key);
    return KeptOnSuccess(status, key);
}

UniqueHKey CreateRegistryKey(HKEY root, const char* path, REGSAM access) {
    HKEY key = nullptr;
    LONG status = ::RegCreateKeyExA(root, path, 0, nullptr, REG_OPTION_NON_VOLATILE, access,
                                    nullptr, &key, nullptr);
    return KeptOnSuccess(status, key);
}

} // namespace fw
