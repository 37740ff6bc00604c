#include "Cng.h"

#include "Exceptions.h"
#include "SystemLibrary.h"

#include <cstdio>
#include <limits>

namespace fw {
namespace {

[[noreturn]] void ThrowCngFailure(const char* call, NTSTATUS status) {
    char text[112];
    std::snprintf(text, sizeof text, "The platform's cryptography failed: %s (0x%08lX).", call,
                  static_cast<unsigned long>(status));
    throw CFrameworkException(text);
}

void Check(const char* call, NTSTATUS status) {
    if (!BCRYPT_SUCCESS(status)) {
        ThrowCngFailure(call, status);
    }
}

// bcrypt.dll's functions, loaded from the system directory on first use.
struct Cng {
    template <class F> static F Load(const char* name) {
        return SystemFunction<F>("bcrypt.dll", name);
    }
    decltype(&::BCryptOpenAlgorithmProvider) open =
        Load<decltype(open)>("BCryptOpenAlgorithmProvider");
    decltype(&::BCryptCloseAlgorithmProvider) close =
        Load<decltype(close)>("BCryptCloseAlgorithmProvider");
    decltype(&::BCryptGetProperty) getProperty = Load<decltype(getProperty)>("BCryptGetProperty");
    decltype(&::BCryptSetProperty) setProperty = Load<decltype(setProperty)>("BCryptSetProperty");
    decltype(&::BCryptCreateHash) createHash = Load<decltype(createHash)>("BCryptCreateHash");
    decltype(&::BCryptHashData) hashData = Load<decltype(hashData)>("BCryptHashData");
    decltype(&::BCryptFinishHash) finishHash = Load<decltype(finishHash)>("BCryptFinishHash");
    decltype(&::BCryptDestroyHash) destroyHash = Load<decltype(destroyHash)>("BCryptDestroyHash");
    decltype(&::BCryptGenerateSymmetricKey) generateKey =
        Load<decltype(generateKey)>("BCryptGenerateSymmetricKey");
    decltype(&::BCryptEncrypt) encrypt = Load<decltype(encrypt)>("BCryptEncrypt");
    decltype(&::BCryptDestroyKey) destroyKey = Load<decltype(destroyKey)>("BCryptDestroyKey");
    decltype(&::BCryptGenRandom) random = Load<decltype(random)>("BCryptGenRandom");

    static const Cng& Get() {
        static const Cng cng;
        if (!cng.open || !cng.close || !cng.getProperty || !cng.setProperty || !cng.createHash ||
            !cng.hashData || !cng.finishHash || !cng.destroyHash || !cng.generateKey ||
            !cng.encrypt || !cng.destroyKey || !cng.random) {
            throw CFrameworkException("The platform's cryptography is not available: bcrypt.dll "
                                      "could not be loaded from the system directory.");
        }
        return cng;
    }
};

constexpr std::size_t kLargestCall = std::numeric_limits<ULONG>::max() / 2;

} // namespace

CngHash::CngHash(const wchar_t* algorithm) {
    const Cng& cng = Cng::Get();
    Check("BCryptOpenAlgorithmProvider", cng.open(&m_algorithm, algorithm, nullptr, 0));
    ULONG got = 0;
    NTSTATUS status =
        cng.getProperty(m_algorithm, BCRYPT_HASH_LENGTH, reinterpret_cast<PUCHAR>(&m_digestSize),
                        sizeof m_digestSize, &got, 0);
    if (BCRYPT_SUCCESS(status)) {
        status =
            cng.createHash(m_algorithm, &m_hash, nullptr, 0, nullptr, 0, BCRYPT_HASH_REUSABLE_FLAG);
    }
    if (!BCRYPT_SUCCESS(status)) {
        cng.close(m_algorithm, 0);
        ThrowCngFailure("BCryptCreateHash", status);
    }
}

CngHash::~CngHash() {
    const Cng& cng = Cng::Get();
    cng.destroyHash(m_hash);
    cng.close(m_algorithm, 0);
}

void CngHash::Update(const void* data, std::size_t size) {
    const Cng& cng = Cng::Get();
    // CNG takes the input as non-const but does not write it.
    auto* bytes = static_cast<PUCHAR>(const_cast<void*>(data));
    while (size > 0) {
        ULONG chunk = static_cast<ULONG>(size < kLargestCall ? size : kLargestCall);
        Check("BCryptHashData", cng.hashData(m_hash, bytes, chunk, 0));
        bytes += chunk;
        size -= chunk;
    }
}

std::vector<std::uint8_t> CngHash::Finish() {
    std::vector<std::uint8_t> digest(m_digestSize);
    Check("BCryptFinishHash", Cng::Get().finishHash(m_hash, digest.data(), m_digestSize, 0));
    return digest;
}

CngAes256::CngAes256(const std::uint8_t* key) {
    const Cng& cng = Cng::Get();
    Check("BCryptOpenAlgorithmProvider", cng.open(&m_algorithm, BCRYPT_AES_ALGORITHM, nullptr, 0));
    NTSTATUS status =
        cng.setProperty(m_algorithm, BCRYPT_CHAINING_MODE,
                        reinterpret_cast<PUCHAR>(const_cast<wchar_t*>(BCRYPT_CHAIN_MODE_ECB)),
                        static_cast<ULONG>(sizeof BCRYPT_CHAIN_MODE_ECB), 0);
    if (BCRYPT_SUCCESS(status)) {
        status = cng.generateKey(m_algorithm, &m_key, nullptr, 0, const_cast<PUCHAR>(key), 32, 0);
    }
    if (!BCRYPT_SUCCESS(status)) {
        cng.close(m_algorithm, 0);
        ThrowCngFailure("BCryptGenerateSymmetricKey", status);
    }
}

CngAes256::~CngAes256() {
    const Cng& cng = Cng::Get();
    cng.destroyKey(m_key);
    cng.close(m_algorithm, 0);
}

void CngAes256::Encrypt(const std::uint8_t* in, std::uint8_t* out, std::size_t blocks) {
    const Cng& cng = Cng::Get();
    const std::size_t largestBlocks = kLargestCall / 16;
    while (blocks > 0) {
        std::size_t now = blocks < largestBlocks ? blocks : largestBlocks;
        ULONG size = static_cast<ULONG>(now * 16);
        ULONG written = 0;
        Check("BCryptEncrypt", cng.encrypt(m_key, const_cast<PUCHAR>(in), size, nullptr, nullptr, 0,
                                           out, size, &written, 0));
        in += size;
        out += size;
        blocks -= now;
    }
}

void CngRandom(void* buffer, std::size_t size) {
    const Cng& cng = Cng::Get();
    auto* bytes = static_cast<PUCHAR>(buffer);
    while (size > 0) {
        ULONG chunk = static_cast<ULONG>(size < kLargestCall ? size : kLargestCall);
        Check("BCryptGenRandom",
              cng.random(nullptr, bytes, chunk, BCRYPT_USE_SYSTEM_PREFERRED_RNG));
        bytes += chunk;
        size -= chunk;
    }
}

} // namespace fw
