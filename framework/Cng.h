// The platform's cryptography (CNG, bcrypt.dll from the system directory): hashes, AES-256 on
// single blocks, and random bytes. Nothing here is written by hand; a failure of the platform is a
// framework exception naming the call.
#pragma once

#include "Win32.h"

#include <bcrypt.h>

#include <cstddef>
#include <cstdint>
#include <vector>

namespace fw {

// An incremental hash: SHA-256, SHA-1 or MD5 (BCRYPT_SHA256_ALGORITHM...).
class CngHash {
  public:
    explicit CngHash(const wchar_t* algorithm);
    ~CngHash();
    CngHash(const CngHash&) = delete;
    CngHash& operator=(const CngHash&) = delete;

    void Update(const void* data, std::size_t size);
    // The digest of all that was given; the hash starts anew afterwards.
    std::vector<std::uint8_t> Finish();

  private:
    BCRYPT_ALG_HANDLE m_algorithm = nullptr;
    BCRYPT_HASH_HANDLE m_hash = nullptr;
    ULONG m_digestSize = 0;
};

// AES-256 in ECB mode, to encrypt single 16-byte blocks (a cipher mode is built on it).
class CngAes256 {
  public:
    // `key` is 32 bytes.
    explicit CngAes256(const std::uint8_t* key);
    ~CngAes256();
    CngAes256(const CngAes256&) = delete;
    CngAes256& operator=(const CngAes256&) = delete;

    // Encrypts `blocks` blocks of 16 bytes from `in` to `out` (which may be the same).
    void Encrypt(const std::uint8_t* in, std::uint8_t* out, std::size_t blocks);

  private:
    BCRYPT_ALG_HANDLE m_algorithm = nullptr;
    BCRYPT_KEY_HANDLE m_key = nullptr;
};

// `size` random bytes from the system's generator.
void CngRandom(void* buffer, std::size_t size);

} // namespace fw
