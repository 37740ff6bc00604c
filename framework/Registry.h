// Opening registry keys into owners. Each returns the empty owner when the registry refuses,
// whatever the call left in its output, and leaves the registry's status as the last error.
#pragma once

#include "Handles.h"

namespace fw {

// Opens the existing key `path` under `root` with `access`.
UniqueHKey OpenRegistryKey(HKEY root, const char* path, REGSAM access);

// Opens `path` under `root` with `access` (full access unless told), creating it and any missing
// parent keys.
UniqueHKey CreateRegistryKey(HKEY root, const char* path, REGSAM access = KEY_ALL_ACCESS);

} // namespace fw
