// Keys as the whole product stores, compares and exchanges them: byte strings that contain no
// zero byte. Portable: no Windows headers, so it also builds natively.
#pragma once

#include "framework/Secret.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace keys {

// A byte string with no zero byte. Every way of making one keeps the bytes before the first
// zero byte of its source, so a key never holds bytes past its terminator, and two keys are
// equal exactly when they are equal as zero-terminated strings. Its memory is wiped when it is
// given up.
class KeyBytes {
  public:
    KeyBytes() = default;
    // The bytes of `source` before its first zero byte.
    explicit KeyBytes(std::string_view source) : m_bytes(source.substr(0, source.find('\0'))) {}
    KeyBytes(const void* data, std::size_t size)
        : KeyBytes(std::string_view(static_cast<const char*>(data), size)) {}

    std::string_view Bytes() const { return m_bytes.Get(); }
    const char* Data() const { return m_bytes.Data(); }
    std::size_t Size() const { return m_bytes.Size(); }
    bool Empty() const { return m_bytes.Empty(); }

    friend bool operator==(const KeyBytes& a, const KeyBytes& b) { return a.m_bytes == b.m_bytes; }
    friend bool operator!=(const KeyBytes& a, const KeyBytes& b) { return !(a == b); }

  private:
    fw::Secret m_bytes;
};

using Digest = std::array<unsigned char, 16>;

// A derived key: the digest's bytes before its first zero byte (0 to 16 bytes). The digest is
// wiped.
KeyBytes KeyFromDigest(Digest& digest);

// Most bytes that the UserKey's input may have: a 512-byte working buffer with its terminator.
constexpr std::size_t kMaxUserKeyInputBytes = 511;

// The longest password that the dialogs let the user type: with a user ID of at most 127
// characters, the UserKey's input always fits.
constexpr std::size_t kMaxPasswordChars = 192;
static_assert(127 + 2 * kMaxPasswordChars <= kMaxUserKeyInputBytes, "passwords must fit");

// The bytes the UserKey is the digest of: user ID, first and second password run together, each
// taken up to its first zero byte as the C strings the product hashes. Throws a framework
// exception when they exceed kMaxUserKeyInputBytes.
fw::Secret UserKeyInput(std::string_view userId, std::string_view first, std::string_view second);

// A moment in UTC, field for field as the platform's SYSTEMTIME record holds it.
struct UtcTime {
    std::uint16_t year;
    std::uint16_t month;     // 1 to 12
    std::uint16_t dayOfWeek; // 0 = Sunday
    std::uint16_t day;
    std::uint16_t hour;
    std::uint16_t minute;
    std::uint16_t second;
    std::uint16_t milliseconds;
};

// The 16 bytes the CookieKey is the digest of: the eight fields in this order, each 16-bit
// little-endian, whatever the byte order of the machine.
std::array<unsigned char, 16> CookieKeyInput(const UtcTime& time);

} // namespace keys
