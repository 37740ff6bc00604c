#include "Registry.h"

#include "Secret.h"

#include <string>

namespace fw {
namespace {

// The longest value name the registry holds, in characters.
constexpr DWORD kMaxValueNameChars = 16383;

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

bool ForEachRegistryValue(HKEY key, bool withData,
                          const std::function<void(const RegistryValue&)>& visit) {
    DWORD largest = 0;
    if (withData &&
        ::RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                           nullptr, &largest, nullptr, nullptr) != ERROR_SUCCESS) {
        return false;
    }
    std::wstring name(kMaxValueNameChars + 1, L'\0');
    Secret data;
    data.Resize(largest);
    for (DWORD index = 0;; ++index) {
        DWORD nameLength = kMaxValueNameChars + 1;
        RegistryValue value;
        value.bytes = largest;
        LONG status = ::RegEnumValueW(
            key, index, &name[0], &nameLength, nullptr, &value.type,
            withData && largest > 0 ? reinterpret_cast<BYTE*>(data.Buffer()) : nullptr,
            &value.bytes);
        if (status == ERROR_NO_MORE_ITEMS) {
            return true;
        }
        // Without a buffer, the registry gives a grown value's size and no data.
        if (status != ERROR_SUCCESS || (withData && value.bytes > largest)) {
            return false;
        }
        value.name = std::wstring_view(name.data(), nameLength);
        if (withData) {
            value.data = data.Get().substr(0, value.bytes);
        }
        visit(value);
    }
}

} // namespace fw
