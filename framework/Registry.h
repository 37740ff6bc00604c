// Opening registry keys into owners. Each returns the empty owner when the registry refuses,
// whatever the call left in its output.
#pragma once

#include "Handles.h"

namespace fw {

// Opens the existing key `path` under `root` with `access`.
UniqueHKey OpenRegistryKey(HKEY root, const char* path, REGSAM access);

// Opens `path` under `root` with full access, creating it and any missing parent keys.
UniqueHKey CreateRegistryKey(HKEY root, const char* path);

} // namespace fw
