#include "KeyDerivation.h"

#include "framework/Cng.h"
#include "framework/Seams.h"

#include <algorithm>

namespace keys {

Digest Md5(const void* data, std::size_t size) {
    fw::CngHash md5(BCRYPT_MD5_ALGORITHM);
    md5.Update(data, size);
    std::vector<std::uint8_t> bytes = md5.Finish();
    Digest digest{};
    std::copy(bytes.begin(), bytes.end(), digest.begin());
    fw::WipeMemory(bytes.data(), bytes.size());
    return digest;
}

KeyBytes DeriveUserKey(std::string_view userId, std::string_view first, std::string_view second) {
    fw::Secret input = UserKeyInput(userId, first, second);
    Digest digest = Md5(input.Data(), input.Size());
    return KeyFromDigest(digest);
}

KeyBytes DeriveCookieKey() {
    SYSTEMTIME now = {};
    fw::CurrentSeams().systemTime(&now);
    std::array<unsigned char, 16> record =
        CookieKeyInput({now.wYear, now.wMonth, now.wDayOfWeek, now.wDay, now.wHour, now.wMinute,
                        now.wSecond, now.wMilliseconds});
    Digest digest = Md5(record.data(), record.size());
    fw::WipeMemory(record.data(), record.size());
    return KeyFromDigest(digest);
}

} // namespace keys
