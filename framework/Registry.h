// Opening registry keys into owners. Each returns the empty owner when the registry refuses,
// whatever the call left in its output, and leaves the registry's status as the last error.
#pragma once

#include "Handles.h"

#include <functional>
#include <string_view>

namespace fw {

// Opens the existing key `path` under `root` with `access`.
UniqueHKey OpenRegistryKey(HKEY root, const char* path, REGSAM access);

// Opens `path` under `root` with `access` (full access unless told), creating it and any missing
// parent keys.
UniqueHKey CreateRegistryKey(HKEY root, const char* path, REGSAM access = KEY_ALL_ACCESS);

// One value of a key as an enumeration gives it: its name exactly as the registry holds it
// (UTF-16, so never a look-alike from a code page), its type, its size in bytes, and its data when
// it was asked for (else empty).
struct RegistryValue {
    std::wstring_view name;
    DWORD type = REG_NONE;
    DWORD bytes = 0;
    std::string_view data;
};

// Calls `visit` for each value of `key`, in enumeration order: one trip to the registry per value.
// The data, when `withData`, lives in a buffer that is wiped once the enumeration ends. False when
// the enumeration stopped short: the key could not be read, or a value grew past the largest that
// the key held when it began (another program wrote meanwhile).
bool ForEachRegistryValue(HKEY key, bool withData,
                          const std::function<void(const RegistryValue&)>& visit);

} // namespace fw
