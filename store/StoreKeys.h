// The store's keys as its own operations open them, shared by the files of the store alone.
#pragma once

#include "framework/Handles.h"
#include "framework/Secret.h"

#include <string>
#include <utility>

namespace store {

// An open key of the store: its own handle, or the bulk session's, which stays open.
class StoreKey {
  public:
    StoreKey() = default;
    explicit StoreKey(fw::UniqueHKey owned) : m_owned(std::move(owned)), m_key(m_owned.Get()) {}
    explicit StoreKey(HKEY borrowed) : m_key(borrowed) {}
    HKEY Get() const { return m_key; }
    explicit operator bool() const { return m_key != nullptr; }

  private:
    fw::UniqueHKey m_owned;
    HKEY m_key = nullptr;
};

// Whether `keyPath` names `key`, whatever the letter case.
bool IsKey(const char* keyPath, const char* key);

// `keyPath` opened, or created with its parents, with full access in the registry's 32-bit view;
// kept open while a BulkSession is.
StoreKey OpenKey(const char* keyPath);
StoreKey CreateKey(const char* keyPath);

// How reading a whole value went.
enum class WholeValue { Read, Absent, Unreadable };

// Reads value `userId` of an open key whole, whatever its type and size, into `type` and `data`:
// in one call for a value that a key can be (the store's many reads are most of a bulk command's
// time under Wine), in two for a larger one.
WholeValue QueryWhole(const StoreKey& key, const std::string& userId, DWORD& type,
                      fw::Secret& data);

} // namespace store
