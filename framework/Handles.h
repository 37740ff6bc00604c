// Move-only owners for the kernel and registry handles the program opens.
#pragma once

#include "Win32.h"

namespace fw {

// Owns a handle and closes it once. Traits give the invalid value and the close call, because
// they differ: registry keys use NULL, CreateFile uses INVALID_HANDLE_VALUE.
template <class Traits> class UniqueHandleOf {
  public:
    using Handle = typename Traits::Handle;

    UniqueHandleOf() = default;
    explicit UniqueHandleOf(Handle h) : m_h(h) {}
    UniqueHandleOf(UniqueHandleOf&& other) noexcept : m_h(other.Release()) {}
    UniqueHandleOf& operator=(UniqueHandleOf&& other) noexcept {
        if (this != &other) {
            Reset(other.Release());
        }
        return *this;
    }
    UniqueHandleOf(const UniqueHandleOf&) = delete;
    UniqueHandleOf& operator=(const UniqueHandleOf&) = delete;
    ~UniqueHandleOf() { Reset(); }

    Handle Get() const { return m_h; }
    bool IsValid() const { return m_h != Traits::Invalid(); }
    explicit operator bool() const { return IsValid(); }

    Handle Release() {
        Handle h = m_h;
        m_h = Traits::Invalid();
        return h;
    }
    void Reset(Handle h = Traits::Invalid()) {
        if (IsValid()) {
            Traits::Close(m_h);
        }
        m_h = h;
    }

  private:
    Handle m_h = Traits::Invalid();
};

struct RegistryKeyTraits {
    using Handle = HKEY;
    static HKEY Invalid() { return nullptr; }
    static void Close(HKEY h) { ::RegCloseKey(h); }
};

struct FileHandleTraits {
    using Handle = HANDLE;
    static HANDLE Invalid() { return INVALID_HANDLE_VALUE; }
    static void Close(HANDLE h) { ::CloseHandle(h); }
};

// Events and other kernel objects whose creation gives NULL on failure.
struct KernelHandleTraits {
    using Handle = HANDLE;
    static HANDLE Invalid() { return nullptr; }
    static void Close(HANDLE h) { ::CloseHandle(h); }
};

struct ImageListTraits {
    using Handle = HIMAGELIST;
    static HIMAGELIST Invalid() { return nullptr; }
    static void Close(HIMAGELIST h) { ::ImageList_Destroy(h); }
};

using UniqueHKey = UniqueHandleOf<RegistryKeyTraits>;
using UniqueFileHandle = UniqueHandleOf<FileHandleTraits>;
using UniqueImageList = UniqueHandleOf<ImageListTraits>;
using UniqueKernelHandle = UniqueHandleOf<KernelHandleTraits>;

} // namespace fw
