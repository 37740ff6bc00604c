#include "KeyBytes.h"

#include "framework/Exceptions.h"

namespace keys {
namespace {

std::string_view UpToZero(std::string_view text) {
    return text.substr(0, text.find('\0'));
}

} // namespace

fw::Secret UserKeyInput(std::string_view userId, std::string_view first, std::string_view second) {
    userId = UpToZero(userId);
    first = UpToZero(first);
    second = UpToZero(second);
    if (userId.size() + first.size() + second.size() > kMaxUserKeyInputBytes) {
        throw fw::CFrameworkException("The user ID and the passwords are longer than " +
                                      std::to_string(kMaxUserKeyInputBytes) + " bytes together.");
    }
    fw::Secret input;
    input.Reserve(userId.size() + first.size() + second.size());
    input.Append(userId);
    input.Append(first);
    input.Append(second);
    return input;
}

KeyBytes KeyFromDigest(Digest& digest) {
    KeyBytes key(digest.data(), digest.size());
    fw::WipeMemory(digest.data(), digest.size());
    return key;
}

std::array<unsigned char, 16> CookieKeyInput(const UtcTime& time) {
    const std::uint16_t fields[] = {time.year, time.month,  time.dayOfWeek, time.day,
                                    time.hour, time.minute, time.second,    time.milliseconds};
    std::array<unsigned char, 16> record{};
    for (std::size_t i = 0; i < 8; ++i) {
        record[2 * i] = static_cast<unsigned char>(fields[i] & 0xFF);
        record[2 * i + 1] = static_cast<unsigned char>(fields[i] >> 8);
    }
    return record;
}

} // namespace keys
