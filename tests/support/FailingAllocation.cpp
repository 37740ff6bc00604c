// Replaces the global allocation functions so that a test can make one allocation fail.
#include "TestSupport.h"

#include <cstdlib>
#include <new>

namespace {

long g_countdown = -1;
bool g_fired = false;

void* Allocate(std::size_t size) {
    if (g_countdown >= 0 && g_countdown-- == 0) {
        g_fired = true;
        throw std::bad_alloc();
    }
    void* memory = std::malloc(size == 0 ? 1 : size);
    if (memory == nullptr) {
        throw std::bad_alloc();
    }
    return memory;
}

} // namespace

void* operator new(std::size_t size) {
    return Allocate(size);
}
void* operator new[](std::size_t size) {
    return Allocate(size);
}
void operator delete(void* memory) noexcept {
    std::free(memory);
}
void operator delete[](void* memory) noexcept {
    std::free(memory);
}
void operator delete(void* memory, std::size_t) noexcept {
    std::free(memory);
}
void operator delete[](void* memory, std::size_t) noexcept {
    std::free(memory);
}

namespace testing_support {

FailingAllocation::FailingAllocation(int n) {
    g_fired = false;
    g_countdown = n;
}

FailingAllocation::~FailingAllocation() {
    g_countdown = -1;
}

bool FailingAllocation::Fired() {
    return g_fired;
}

} // namespace testing_support
