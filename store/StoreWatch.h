// Tells a window when another program changes the list of certificates: the Users key's values,
// or the key itself when it appears or goes. The registry signals the change (no polling); the
// window is sent a message, which it handles on its own thread.
#pragma once

#include "framework/Handles.h"

namespace store {

class StoreWatch {
  public:
    // Watches for `window`, which gets `message` (no parameters) after a change.
    StoreWatch(HWND window, UINT message);
    // Stops watching; a message already posted may still arrive.
    ~StoreWatch();
    StoreWatch(const StoreWatch&) = delete;
    StoreWatch& operator=(const StoreWatch&) = delete;

    // Watches for the next change: the window gets the message once. Call it again after each
    // message, once the window has read the store. False when nothing could be watched.
    bool Arm();

  private:
    static void CALLBACK Signalled(void* self, BOOLEAN timedOut);
    void StopWaiting();

    HWND m_window;
    UINT m_message;
    fw::UniqueHKey m_key;
    fw::UniqueKernelHandle m_changed;
    HANDLE m_wait = nullptr;
};

} // namespace store
