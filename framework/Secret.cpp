#include "Secret.h"

#ifdef _WIN32
#include "Win32.h"
#elif defined(__GLIBC__)
#include <string.h>
#endif

namespace fw {

void WipeMemory(void* data, std::size_t size) noexcept {
#ifdef _WIN32
    ::SecureZeroMemory(data, size);
#elif defined(__GLIBC__)
    ::explicit_bzero(data, size);
#else
    // Stores through a volatile pointer are observable behaviour: they are never left out.
    volatile unsigned char* bytes = static_cast<volatile unsigned char*>(data);
    for (std::size_t i = 0; i < size; ++i) {
        bytes[i] = 0;
    }
#endif
}

} // namespace fw
