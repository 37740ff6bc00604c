#include "KeyDerivation.h"

#include "framework/Exceptions.h"
#include "framework/Seams.h"
#include "framework/SystemLibrary.h"

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

// The platform's cryptography (CNG), loaded from the system directory on first use: bcrypt.dll
// is not one of the DLLs that Windows only ever takes from there.
struct Cng {
    using OpenFn = NTSTATUS(WINAPI*)(BCRYPT_ALG_HANDLE*, LPCWSTR, LPCWSTR, ULONG);
    using HashFn = NTSTATUS(WINAPI*)(BCRYPT_ALG_HANDLE, PUCHAR, ULONG, PUCHAR, ULONG, PUCHAR,
                                     ULONG);
    using CloseFn = NTSTATUS(WINAPI*)(BCRYPT_ALG_HANDLE, ULONG);

    OpenFn open = fw::SystemFunction<OpenFn>("bcrypt.dll", "BCryptOpenAlgorithmProvider");
    HashFn hash = fw::SystemFunction<HashFn>("bcrypt.dll", "BCryptHash");
    CloseFn close = fw::SystemFunction<CloseFn>("bcrypt.dll", "BCryptCloseAlgorithmProvider");

    static const Cng& Get() {
        static const Cng cng;
        if (cng.open == nullptr || cng.hash == nullptr || cng.close == nullptr) {
            throw fw::CFrameworkException("MD5 is not available: bcrypt.dll could not be loaded "
                                          "from the system directory.");
        }
        return cng;
    }
};

// Closes the algorithm provider it holds.
class ProviderHandle {
  public:
    ProviderHandle(const Cng& cng, BCRYPT_ALG_HANDLE handle) : m_cng(cng), m_handle(handle) {}
    ~ProviderHandle() { m_cng.close(m_handle, 0); }
    ProviderHandle(const ProviderHandle&) = delete;
    ProviderHandle& operator=(const ProviderHandle&) = delete;
    BCRYPT_ALG_HANDLE Get() const { return m_handle; }

  private:
    const Cng& m_cng;
    BCRYPT_ALG_HANDLE m_handle;
};

} // namespace

Digest Md5(const void* data, std::size_t size) {
    if (size > std::numeric_limits<ULONG>::max()) {
        throw fw::CFrameworkException("Too much data for MD5.");
    }
    const Cng& cng = Cng::Get();
    BCRYPT_ALG_HANDLE algorithm = nullptr;
    NTSTATUS status = cng.open(&algorithm, BCRYPT_MD5_ALGORITHM, nullptr, 0);
    if (!BCRYPT_SUCCESS(status)) {
        ThrowCngFailure("BCryptOpenAlgorithmProvider", status);
    }
    ProviderHandle provider(cng, algorithm);
    Digest digest{};
    // CNG takes the input as non-const but does not write it.
    status = cng.hash(provider.Get(), nullptr, 0, static_cast<PUCHAR>(const_cast<void*>(data)),
                      static_cast<ULONG>(size), digest.data(), static_cast<ULONG>(digest.size()));
    if (!BCRYPT_SUCCESS(status)) {
        ThrowCngFailure("BCryptHash", status);
    }
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
