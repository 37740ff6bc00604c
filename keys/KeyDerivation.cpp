#include "KeyDerivation.h"

#include "framework/Exceptions.h"
#include "framework/Handles.h"
#include "framework/Seams.h"

#include <bcrypt.h>

#include <cstdio>
#include <limits>

namespace keys {
namespace {

[[noreturn]] void ThrowCngFailure(const char* call, NTSTATUS status) {
    char text[96];
    std::snprintf(text, sizeof text, "MD5 is not available: %s failed (0x%08lX).", call,
                  static_cast<unsigned long>(status));
    throw fw::CFrameworkException(text);
}

} // namespace

Digest Md5(const void* data, std::size_t size) {
    if (size > std::numeric_limits<ULONG>::max()) {
        throw fw::CFrameworkException("Too much data for MD5.");
    }
    BCRYPT_ALG_HANDLE algorithm = nullptr;
    NTSTATUS status = ::BCryptOpenAlgorithmProvider(&algorithm, BCRYPT_MD5_ALGORITHM, nullptr, 0);
    if (!BCRYPT_SUCCESS(status)) {
        ThrowCngFailure("BCryptOpenAlgorithmProvider", status);
    }
    fw::UniqueAlgorithmProvider provider(algorithm);
    Digest digest{};
    // CNG takes the input as non-const but does not write it.
    status =
        ::BCryptHash(provider.Get(), nullptr, 0, static_cast<PUCHAR>(const_cast<void*>(data)),
                     static_cast<ULONG>(size), digest.data(), static_cast<ULONG>(digest.size()));
    if (!BCRYPT_SUCCESS(status)) {
        ThrowCngFailure("BCryptHash", status);
    }
    return digest;
}

KeyBytes DeriveUserKey(const std::string& userId, const std::string& first,
                       const std::string& second) {
    std::string input = UserKeyInput(userId, first, second);
    return KeyFromDigest(Md5(input.data(), input.size()));
}

KeyBytes DeriveCookieKey() {
    SYSTEMTIME now = {};
    fw::CurrentSeams().systemTime(&now);
    std::array<unsigned char, 16> record =
        CookieKeyInput({now.wYear, now.wMonth, now.wDayOfWeek, now.wDay, now.wHour, now.wMinute,
                        now.wSecond, now.wMilliseconds});
    return KeyFromDigest(Md5(record.data(), record.size()));
}

} // namespace keys
