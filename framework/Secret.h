// Text that must not outlive its use: passwords, the bytes a UserKey is derived from, keys and
// the text that holds them. Its memory is wiped whenever it is given up (on destruction, also
// during unwinding, on Clear and when it grows), so no copy is left behind for a memory dump or
// the page file. Portable: no Windows headers, so it also builds natively.
#pragma once

#include <algorithm>
#include <cstddef>
#include <memory>
#include <string_view>

namespace fw {

// Overwrites `size` bytes at `data` with zeros, in a way the compiler may not leave out.
void WipeMemory(void* data, std::size_t size) noexcept;

// A growable string of characters whose memory is wiped before it is freed. Always followed by
// a zero character, so Data() can be handed to calls that take a C string. The memory past the
// characters is always zero, so that wiping costs only what was written.
template <class Char> class BasicSecret {
  public:
    using View = std::basic_string_view<Char>;

    BasicSecret() = default;
    explicit BasicSecret(View text) { Append(text); }
    BasicSecret(const BasicSecret& other) : BasicSecret(other.Get()) {}
    BasicSecret(BasicSecret&& other) noexcept
        : m_data(std::move(other.m_data)), m_size(other.m_size), m_capacity(other.m_capacity) {
        other.m_size = other.m_capacity = 0;
    }
    BasicSecret& operator=(const BasicSecret& other) {
        if (this != &other) {
            Clear();
            Append(other.Get());
        }
        return *this;
    }
    BasicSecret& operator=(BasicSecret&& other) noexcept {
        if (this != &other) {
            Release();
            m_data = std::move(other.m_data);
            m_size = other.m_size;
            m_capacity = other.m_capacity;
            other.m_size = other.m_capacity = 0;
        }
        return *this;
    }
    ~BasicSecret() { Release(); }

    const Char* Data() const { return m_data ? m_data.get() : EmptyText(); }
    // The characters, for the platform calls that fill them: Size() of them, and a zero after.
    Char* Buffer() { return m_data ? m_data.get() : nullptr; }
    std::size_t Size() const { return m_size; }
    bool Empty() const { return m_size == 0; }
    View Get() const { return View(Data(), m_size); }

    void Append(View text) {
        Reserve(m_size + text.size());
        std::copy(text.begin(), text.end(), m_data.get() + m_size);
        m_size += text.size();
    }
    void Append(Char c) { Append(View(&c, 1)); }
    // Makes room for `capacity` characters, wiping the old memory if it moves.
    void Reserve(std::size_t capacity) {
        if (capacity <= m_capacity && m_data) {
            return;
        }
        std::size_t grown = m_capacity * 2 > capacity ? m_capacity * 2 : capacity;
        std::unique_ptr<Char[]> data(new Char[grown + 1]());
        const std::size_t size = m_size;
        for (std::size_t i = 0; i < size && i < grown; ++i) {
            data[i] = m_data[i];
        }
        Release(); // wipes the old memory
        m_data = std::move(data);
        m_size = size;
        m_capacity = grown;
    }
    // `size` characters: the first ones kept, new ones zero, those cut off wiped.
    void Resize(std::size_t size) {
        Reserve(size);
        if (size < m_size) {
            WipeMemory(m_data.get() + size, (m_size - size) * sizeof(Char));
        }
        m_size = size;
    }
    // Wipes the characters and keeps the memory for reuse.
    void Clear() noexcept {
        if (m_data) {
            WipeMemory(m_data.get(), m_size * sizeof(Char));
        }
        m_size = 0;
    }

    friend bool operator==(const BasicSecret& a, const BasicSecret& b) {
        return a.Get() == b.Get();
    }
    friend bool operator!=(const BasicSecret& a, const BasicSecret& b) { return !(a == b); }

  private:
    static const Char* EmptyText() {
        static const Char empty[1] = {};
        return empty;
    }
    void Release() noexcept {
        Clear();
        m_data.reset();
        m_capacity = 0;
    }

    std::unique_ptr<Char[]> m_data;
    std::size_t m_size = 0;
    std::size_t m_capacity = 0;
};

using Secret = BasicSecret<char>;
using WideSecret = BasicSecret<wchar_t>;

} // namespace fw
