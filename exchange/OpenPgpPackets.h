// The pieces of OpenPGP's format that a passphrase-encrypted message is made of: packet
// headers, the string-to-key derivation (S2K) and OpenPGP's CFB mode. Portable, like the reader
// and writer of whole messages (OpenPgp.h), which alone use them.
#pragma once

#include "exchange/OpenPgp.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace exchange::pgp {

constexpr std::size_t kBlockBytes = 16;
constexpr std::size_t kKeyBytes = 32;                 // AES-256
constexpr std::size_t kPrefixBytes = kBlockBytes + 2; // random block, 2 bytes repeated
constexpr std::size_t kSha1Bytes = 20;
constexpr std::size_t kSha256Bytes = 32;
constexpr std::size_t kMdcBytes = 2 + kSha1Bytes; // 0xD3 0x14 and the digest
constexpr std::size_t kSaltBytes = 8;
constexpr std::size_t kS2kRunBytes = std::size_t{1} << 16; // salt and passphrase hashed at once
constexpr std::size_t kMaxFileNameBytes = 255;

enum Tag : unsigned {
    kTagPublicKeySessionKey = 1,
    kTagSymmetricSessionKey = 3,
    kTagCompressed = 8,
    kTagEncryptedNoMdc = 9,
    kTagMarker = 10,
    kTagLiteral = 11,
    kTagEncrypted = 18,
    kTagMdc = 19,
};

enum : unsigned {
    kSessionKeyVersion = 4,
    kDataVersion = 1,
    kCipherAes256 = 9,
    kHashSha1 = 2,
    kHashSha256 = 8,
    kS2kSimple = 0,
    kS2kSalted = 1,
    kS2kIterated = 3,
};

// How a session key packet derives the key from the passphrase.
struct S2k {
    unsigned type = kS2kIterated;
    PgpCrypto::Hash hash = PgpCrypto::Hash::Sha256;
    std::string_view salt;   // empty with the simple S2K
    std::uint64_t count = 0; // with the iterated one
};

// One packet: its tag and its body, partial lengths joined.
struct Packet {
    unsigned tag = 0;
    fw::Secret body;
};

// How reading a packet went.
enum class Read { Packet, End, Malformed, Truncated };

// The byte at `at`, and the big-endian number that `bytes` spell.
unsigned Byte(std::string_view bytes, std::size_t at);
std::uint32_t BigEndian(std::string_view bytes);

// One byte (the low 8 bits of `value`), and four big-endian ones.
void AppendByte(fw::Secret& out, std::size_t value);
void AppendBigEndian32(fw::Secret& out, std::uint64_t value);

// A new-format header with a definite length (a packet of 4 GiB or more: std::length_error).
void AppendHeader(fw::Secret& out, unsigned tag, std::size_t length);

// A digest's size, and the digest of a context.
std::size_t DigestBytes(PgpCrypto::Hash hash);
fw::Secret FinishHash(PgpCrypto::HashContext& context, PgpCrypto::Hash hash);

// The AES-256 key from the passphrase: salt and passphrase hashed, repeated to the count with
// the iterated S2K (once whole when they are longer); as many hashes as the key needs, the n-th
// preceded by n-1 zero bytes.
fw::Secret DeriveKey(PgpCrypto& crypto, const S2k& s2k, std::string_view passphrase);

// OpenPGP's CFB mode for integrity protected data: plain CFB, zero IV, no resynchronisation.
void CfbEncrypt(PgpCrypto& crypto, char* data, std::size_t size);

// Decrypts: the key stream of each block is the encryption of the ciphertext block before it (of
// zeros for the first), all known ahead, so the whole of it in two calls.
fw::Secret CfbDecrypt(PgpCrypto& crypto, std::string_view cipher);

// Reads the packet at the start of `data` (old or new format, any length encoding, partial
// lengths joined) and takes it off. With Read::Truncated the tag is known.
Read ReadPacket(std::string_view& data, Packet& packet);

} // namespace exchange::pgp
