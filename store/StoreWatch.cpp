#include "StoreWatch.h"

#include "framework/Registry.h"

namespace store {
namespace {

// The key the list shows, then the keys above it: while the Users key does not exist, its
// appearing is a change under the nearest one that does.
const char* const kWatchedKeys[] = {
    "SOFTWARE\\Lockwell\\Users_lkw_20",
    "SOFTWARE\\Lockwell",
    "SOFTWARE",
};

constexpr DWORD kChanges = REG_NOTIFY_CHANGE_NAME | REG_NOTIFY_CHANGE_LAST_SET;

} // namespace

StoreWatch::StoreWatch(HWND window, UINT message)
    : m_window(window), m_message(message),
      m_changed(::CreateEventW(nullptr, FALSE, FALSE, nullptr)) {}

StoreWatch::~StoreWatch() {
    StopWaiting();
}

bool StoreWatch::Arm() {
    StopWaiting();
    if (!m_changed) {
        return false;
    }
    m_key.Reset();
    bool watched = false;
    for (const char* path : kWatchedKeys) {
        m_key = fw::OpenRegistryKey(HKEY_LOCAL_MACHINE, path, KEY_NOTIFY | KEY_WOW64_32KEY);
        if (m_key) {
            // The Users key's own values; above it, the whole tree, where it would appear.
            BOOL subtree = path != kWatchedKeys[0];
            watched = ::RegNotifyChangeKeyValue(m_key.Get(), subtree, kChanges, m_changed.Get(),
                                                TRUE) == ERROR_SUCCESS;
            break;
        }
    }
    return watched && ::RegisterWaitForSingleObject(&m_wait, m_changed.Get(), &Signalled, this,
                                                    INFINITE, WT_EXECUTEONLYONCE) != FALSE;
}

void CALLBACK StoreWatch::Signalled(void* self, BOOLEAN) {
    auto* watch = static_cast<StoreWatch*>(self);
    ::PostMessageW(watch->m_window, watch->m_message, 0, 0);
}

void StoreWatch::StopWaiting() {
    if (m_wait != nullptr) {
        // Waits for a callback under way, which only posts.
        ::UnregisterWaitEx(m_wait, INVALID_HANDLE_VALUE);
        m_wait = nullptr;
    }
}

} // namespace store
