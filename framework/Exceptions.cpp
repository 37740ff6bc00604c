#include "Exceptions.h"

#include <new>

namespace fw {

void GetErrorMessage(const std::exception& e, char* buffer, std::size_t size) noexcept {
    if (size == 0) {
        return;
    }
    const char* text = dynamic_cast<const std::bad_alloc*>(&e) ? "Out of memory." : e.what();
    std::size_t i = 0;
    for (; text != nullptr && text[i] != '\0' && i + 1 < size; ++i) {
        buffer[i] = text[i];
    }
    buffer[i] = '\0';
}

} // namespace fw
