// Passphrase-encrypted OpenPGP messages (RFC 4880), binary, not armored: the form in which
// certificates leave the product for tools such as gpg, and come back from them. Portable: no
// Windows headers, so it also builds natively, where the sanitizers and the fuzzer run.
//
// A message as written:
//     Symmetric-Key Encrypted Session Key packet (tag 3): version 4, AES-256, iterated and
//         salted S2K with SHA-256, 8 random salt bytes, the coded count; no encrypted session
//         key: the key that the S2K derives from the passphrase encrypts the data
//     Symmetrically Encrypted Integrity Protected Data packet (tag 18, version 1), holding in
//     AES-256 CFB (zero IV, no resynchronisation):
//         16 random bytes and their last 2 repeated (the quick check of the passphrase)
//         Literal Data packet (tag 11): 'b', the file name, the time, the data
//         Modification Detection Code packet (tag 19): SHA-1 over all before its last 20 bytes
//
// The cryptography comes from the caller (PgpCrypto): CNG on Windows, libcrypto in the native
// tests. A provider reports a failure by throwing; the exception goes through these functions to
// their caller unchanged, and what they held of secrets is wiped on the way.
#pragma once

#include "framework/Secret.h"

#include <cstddef>
#include <cstdint>
#include <limits>
#include <memory>
#include <string>
#include <string_view>

namespace exchange {

class PgpCrypto {
  public:
    enum class Hash { Sha1, Sha256 };

    // One incremental hash.
    class HashContext {
      public:
        virtual ~HashContext() = default;
        virtual void Update(std::string_view bytes) = 0;
        // Writes the digest (20 bytes for SHA-1, 32 for SHA-256) to `digest`; the context is
        // not used afterwards.
        virtual void Finish(char* digest) = 0;
    };

    virtual ~PgpCrypto() = default;
    virtual std::unique_ptr<HashContext> BeginHash(Hash hash) = 0;
    // The AES-256 key (32 bytes) for EncryptBlocks, until the next call. The provider wipes its
    // copy when it is replaced or destroyed.
    virtual void SetAesKey(std::string_view key) = 0;
    // AES-256 encryption of `blocks` 16-byte blocks, each on its own (ECB); `in` and `out` may
    // be the same memory.
    virtual void EncryptBlocks(const char* in, char* out, std::size_t blocks) = 0;
    // `size` bytes from a cryptographically secure generator.
    virtual void Random(char* out, std::size_t size) = 0;
};

// The coded S2K count as gpg writes it at most: 65,011,712 bytes of salt and passphrase hashed.
constexpr std::uint8_t kPgpMaxS2kCountByte = 0xFF;
// The bytes that a coded S2K count stands for.
constexpr std::uint64_t PgpS2kCount(std::uint8_t coded) {
    return static_cast<std::uint64_t>(16 + (coded & 15)) << ((coded >> 4) + 6);
}

// The message that holds `plaintext` as the file `fileName` (at most 255 bytes, else
// std::invalid_argument) of the time `time` (seconds since 1970, UTC), encrypted with a key
// derived from the passphrase (UTF-8 bytes) by hashing `PgpS2kCount(s2kCountByte)` bytes. Data
// of 4 GiB or more: std::length_error.
fw::Secret EncryptPgpMessage(PgpCrypto& crypto, std::string_view passphraseUtf8,
                             std::string_view plaintext, std::string_view fileName,
                             std::uint32_t time, std::uint8_t s2kCountByte = kPgpMaxS2kCountByte);

// The same with the packets to protect as they are given, in place of the literal data packet
// (for tests of what a reader makes of other content).
fw::Secret EncryptPgpPackets(PgpCrypto& crypto, std::string_view passphraseUtf8,
                             std::string_view packets,
                             std::uint8_t s2kCountByte = kPgpMaxS2kCountByte);

enum class PgpStatus {
    Ok,
    Malformed,              // not an OpenPGP message, or its packets are cut short or broken
    NotPassphraseEncrypted, // encrypted for a public key only, or not encrypted at all
    Unsupported,            // an algorithm or version this reader refuses: see PgpUnsupported
    WrongPassphrase,        // the quick check of the first decrypted bytes failed
    Modified,               // the modification detection code is missing or wrong, or the
                            // encrypted data is cut short or followed by more bytes
    NoIntegrityProtection,  // encrypted without a modification detection code (tag 9)
    Compressed,             // the decrypted content is a Compressed Data packet
    NotOneLiteralPacket,    // the decrypted content is anything but one Literal Data packet
};

// What a reader refused, with PgpStatus::Unsupported.
enum class PgpUnsupported {
    None,
    SessionKeyVersion,   // a version of the session key packet other than 4
    Cipher,              // a cipher other than AES-256 (9); gpg's numbers: 7 AES-128, 8 AES-192
    S2kType,             // an S2K type other than 0, 1, 3
    Hash,                // an S2K hash other than SHA-1 (2) and SHA-256 (8)
    S2kCount,            // more bytes hashed than the caller's maxS2kCount
    EncryptedSessionKey, // a session key of its own, encrypted with the S2K key
    DataVersion,         // a version of the integrity protected data packet other than 1
};

struct PgpMessage {
    PgpStatus status = PgpStatus::Malformed;
    PgpUnsupported unsupported = PgpUnsupported::None;
    // The refused value with PgpStatus::Unsupported (the cipher's number, the S2K type...).
    unsigned unsupportedValue = 0;
    // With PgpStatus::Ok only: the literal data, its file name and time.
    fw::Secret data;
    std::string fileName;
    std::uint32_t time = 0;
};

constexpr std::uint64_t kPgpUnlimitedS2kCount = std::numeric_limits<std::uint64_t>::max();

// Decrypts `message` with the passphrase (UTF-8 bytes). The literal data is returned only when
// the modification detection code over the whole decrypted content holds. An S2K that would hash
// more than `maxS2kCount` bytes is refused (the fuzzer's bound; the product passes no limit).
PgpMessage DecryptPgpMessage(PgpCrypto& crypto, std::string_view passphraseUtf8,
                             std::string_view message,
                             std::uint64_t maxS2kCount = kPgpUnlimitedS2kCount);

} // namespace exchange
