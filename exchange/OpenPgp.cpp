#include "exchange/OpenPgp.h"

#include <algorithm>
#include <optional>
#include <stdexcept>
#include <utility>
#include <vector>

namespace exchange {
namespace {

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

unsigned Byte(std::string_view bytes, std::size_t at) {
    return static_cast<unsigned char>(bytes[at]);
}

std::uint32_t BigEndian(std::string_view bytes) {
    std::uint32_t value = 0;
    for (char c : bytes) {
        value = value << 8 | static_cast<unsigned char>(c);
    }
    return value;
}

void AppendByte(fw::Secret& out, std::size_t value) {
    out.Append(static_cast<char>(value & 0xFF));
}

void AppendBigEndian32(fw::Secret& out, std::uint64_t value) {
    for (int shift = 24; shift >= 0; shift -= 8) {
        AppendByte(out, static_cast<std::size_t>(value >> shift));
    }
}

// A new-format header with a definite length.
void AppendHeader(fw::Secret& out, unsigned tag, std::size_t length) {
    AppendByte(out, 0xC0 | tag);
    if (length < 192) {
        AppendByte(out, length);
    } else if (length < 8384) {
        AppendByte(out, 192 + ((length - 192) >> 8));
        AppendByte(out, length - 192);
    } else if (static_cast<std::uint64_t>(length) <= 0xFFFFFFFFu) {
        AppendByte(out, 0xFF);
        AppendBigEndian32(out, length);
    } else {
        throw std::length_error("OpenPGP packet longer than 4 GiB");
    }
}

std::size_t DigestBytes(PgpCrypto::Hash hash) {
    return hash == PgpCrypto::Hash::Sha1 ? kSha1Bytes : kSha256Bytes;
}

fw::Secret FinishHash(PgpCrypto::HashContext& context, PgpCrypto::Hash hash) {
    fw::Secret digest;
    digest.Resize(DigestBytes(hash));
    context.Finish(digest.Buffer());
    return digest;
}

struct S2k {
    unsigned type = kS2kIterated;
    PgpCrypto::Hash hash = PgpCrypto::Hash::Sha256;
    std::string_view salt;   // empty with the simple S2K
    std::uint64_t count = 0; // with the iterated one
};

// The AES-256 key from the passphrase: salt and passphrase hashed, repeated to the count with
// the iterated S2K (once whole when they are longer); as many hashes as the key needs, the n-th
// preceded by n-1 zero bytes.
fw::Secret DeriveKey(PgpCrypto& crypto, const S2k& s2k, std::string_view passphrase) {
    fw::Secret unit(s2k.salt);
    unit.Append(passphrase);
    const std::uint64_t total =
        s2k.type == kS2kIterated ? std::max<std::uint64_t>(s2k.count, unit.Size()) : unit.Size();
    // Whole units, hashed in pieces of about 64 KiB, or of what the count needs when less.
    const auto runBytes = static_cast<std::size_t>(
        std::min<std::uint64_t>(total, std::max(kS2kRunBytes, unit.Size())));
    fw::Secret run;
    run.Reserve(runBytes + unit.Size());
    while (!unit.Empty() && run.Size() < runBytes) {
        run.Append(unit.Get());
    }
    fw::Secret key;
    for (std::size_t zeros = 0; key.Size() < kKeyBytes; ++zeros) {
        const auto context = crypto.BeginHash(s2k.hash);
        context->Update(std::string(zeros, '\0'));
        for (std::uint64_t left = total; left > 0;) {
            const std::size_t piece =
                static_cast<std::size_t>(std::min<std::uint64_t>(left, run.Size()));
            context->Update(run.Get().substr(0, piece));
            left -= piece;
        }
        const fw::Secret digest = FinishHash(*context, s2k.hash);
        key.Append(digest.Get().substr(0, kKeyBytes - key.Size()));
    }
    return key;
}

// OpenPGP's CFB mode for integrity protected data: plain CFB, zero IV, no resynchronisation.
void CfbEncrypt(PgpCrypto& crypto, char* data, std::size_t size) {
    char feedback[kBlockBytes] = {};
    for (std::size_t at = 0; at < size; at += kBlockBytes) {
        crypto.EncryptBlocks(feedback, feedback, 1);
        for (std::size_t i = 0; i < kBlockBytes && at + i < size; ++i) {
            data[at + i] = feedback[i] = static_cast<char>(data[at + i] ^ feedback[i]);
        }
    }
}

// The key stream of each block is the encryption of the ciphertext block before it (of zeros for
// the first): all known ahead, so the whole of it in two calls.
fw::Secret CfbDecrypt(PgpCrypto& crypto, std::string_view cipher) {
    const std::size_t blocks = (cipher.size() + kBlockBytes - 1) / kBlockBytes;
    fw::Secret plain;
    plain.Resize(blocks * kBlockBytes);
    if (blocks > 0) {
        const char zeros[kBlockBytes] = {};
        crypto.EncryptBlocks(zeros, plain.Buffer(), 1);
        crypto.EncryptBlocks(cipher.data(), plain.Buffer() + kBlockBytes, blocks - 1);
    }
    char* const out = plain.Buffer();
    for (std::size_t i = 0; i < cipher.size(); ++i) {
        out[i] = static_cast<char>(out[i] ^ cipher[i]);
    }
    plain.Resize(cipher.size());
    return plain;
}

struct Packet {
    unsigned tag = 0;
    fw::Secret body;
};

enum class Read { Packet, End, Malformed, Truncated };

// Only data packets may come in partial lengths.
bool MayBePartial(unsigned tag) {
    return tag == kTagCompressed || tag == kTagEncryptedNoMdc || tag == kTagLiteral ||
           tag == kTagEncrypted;
}

// Reads the packet at the start of `data` (old or new format, any length encoding, partial
// lengths joined) and takes it off. With Read::Truncated the tag is known.
Read ReadPacket(std::string_view& data, Packet& packet) {
    packet.body.Clear();
    if (data.empty()) {
        return Read::End;
    }
    const unsigned first = Byte(data, 0);
    if ((first & 0x80) == 0) {
        return Read::Malformed;
    }
    data.remove_prefix(1);
    const bool newFormat = (first & 0x40) != 0;
    packet.tag = newFormat ? first & 0x3F : (first >> 2) & 0x0F;
    if (packet.tag == 0) {
        return Read::Malformed;
    }
    bool partial = false;
    do {
        partial = false;
        std::size_t length = 0;
        std::size_t lengthBytes = 0;
        if (!newFormat) {
            lengthBytes = (first & 3) == 3 ? 0 : std::size_t{1} << (first & 3);
            if (lengthBytes > data.size()) {
                return Read::Truncated;
            }
            length = lengthBytes == 0 ? data.size() : BigEndian(data.substr(0, lengthBytes));
        } else if (data.empty()) {
            return Read::Truncated;
        } else if (const unsigned octet = Byte(data, 0); octet < 192) {
            lengthBytes = 1;
            length = octet;
        } else if (octet < 224) {
            lengthBytes = 2;
            if (data.size() < 2) {
                return Read::Truncated;
            }
            length = ((octet - 192) << 8) + Byte(data, 1) + 192;
        } else if (octet == 255) {
            lengthBytes = 5;
            if (data.size() < 5) {
                return Read::Truncated;
            }
            length = BigEndian(data.substr(1, 4));
        } else if (!MayBePartial(packet.tag)) {
            return Read::Malformed;
        } else {
            lengthBytes = 1;
            length = std::size_t{1} << (octet & 0x1F);
            partial = true;
        }
        data.remove_prefix(lengthBytes);
        if (length > data.size()) {
            return Read::Truncated;
        }
        packet.body.Append(data.substr(0, length));
        data.remove_prefix(length);
    } while (partial);
    return Read::Packet;
}

PgpMessage Status(PgpStatus status) {
    PgpMessage message;
    message.status = status;
    return message;
}

PgpMessage Refusal(PgpUnsupported what, unsigned value) {
    PgpMessage message = Status(PgpStatus::Unsupported);
    message.unsupported = what;
    message.unsupportedValue = value;
    return message;
}

// The S2K of a session key packet, or why it is refused.
std::optional<S2k> ReadSessionKey(std::string_view body, std::uint64_t maxS2kCount,
                                  PgpMessage& refusal) {
    if (body.size() < 4) {
        refusal = Status(PgpStatus::Malformed);
        return std::nullopt;
    }
    if (Byte(body, 0) != kSessionKeyVersion) {
        refusal = Refusal(PgpUnsupported::SessionKeyVersion, Byte(body, 0));
        return std::nullopt;
    }
    if (Byte(body, 1) != kCipherAes256) {
        refusal = Refusal(PgpUnsupported::Cipher, Byte(body, 1));
        return std::nullopt;
    }
    S2k s2k;
    s2k.type = Byte(body, 2);
    const unsigned hash = Byte(body, 3);
    std::size_t s2kBytes = 2;
    if (s2k.type == kS2kSalted || s2k.type == kS2kIterated) {
        s2kBytes += kSaltBytes + (s2k.type == kS2kIterated ? 1 : 0);
    } else if (s2k.type != kS2kSimple) {
        refusal = Refusal(PgpUnsupported::S2kType, s2k.type);
        return std::nullopt;
    }
    if (hash != kHashSha1 && hash != kHashSha256) {
        refusal = Refusal(PgpUnsupported::Hash, hash);
        return std::nullopt;
    }
    s2k.hash = hash == kHashSha1 ? PgpCrypto::Hash::Sha1 : PgpCrypto::Hash::Sha256;
    if (body.size() < 2 + s2kBytes) {
        refusal = Status(PgpStatus::Malformed);
        return std::nullopt;
    }
    if (body.size() > 2 + s2kBytes) {
        refusal = Refusal(PgpUnsupported::EncryptedSessionKey, 0);
        return std::nullopt;
    }
    if (s2k.type != kS2kSimple) {
        s2k.salt = body.substr(4, kSaltBytes);
    }
    if (s2k.type == kS2kIterated) {
        const auto coded = static_cast<std::uint8_t>(Byte(body, 4 + kSaltBytes));
        s2k.count = PgpS2kCount(coded);
        if (s2k.count > maxS2kCount) {
            refusal = Refusal(PgpUnsupported::S2kCount, coded);
            return std::nullopt;
        }
    }
    return s2k;
}

bool QuickCheckHolds(PgpCrypto& crypto, std::string_view cipher) {
    const fw::Secret prefix = CfbDecrypt(crypto, cipher.substr(0, kPrefixBytes));
    return prefix.Get().substr(kBlockBytes - 2, 2) == prefix.Get().substr(kBlockBytes, 2);
}

// The decrypted content between the random prefix and the modification detection code, after
// that code has been checked: one literal data packet.
PgpMessage ReadContent(std::string_view content) {
    Packet packet;
    switch (ReadPacket(content, packet)) {
    case Read::Packet:
        break;
    case Read::End:
        return Status(PgpStatus::NotOneLiteralPacket);
    case Read::Malformed:
    case Read::Truncated:
        return Status(PgpStatus::Malformed);
    }
    if (packet.tag == kTagCompressed) {
        return Status(PgpStatus::Compressed);
    }
    if (packet.tag != kTagLiteral || !content.empty()) {
        return Status(PgpStatus::NotOneLiteralPacket);
    }
    const std::string_view body = packet.body.Get();
    if (body.size() < 2 || body.size() < 2 + Byte(body, 1) + 4) {
        return Status(PgpStatus::Malformed);
    }
    const std::size_t nameBytes = Byte(body, 1);
    PgpMessage message = Status(PgpStatus::Ok);
    message.fileName = std::string(body.substr(2, nameBytes));
    message.time = BigEndian(body.substr(2 + nameBytes, 4));
    message.data = fw::Secret(body.substr(2 + nameBytes + 4));
    return message;
}

PgpMessage Decrypt(PgpCrypto& crypto, std::string_view passphrase,
                   const std::vector<Packet>& sessionKeys, std::string_view data,
                   std::uint64_t maxS2kCount) {
    if (sessionKeys.empty()) {
        return Status(PgpStatus::NotPassphraseEncrypted);
    }
    if (data.empty()) {
        return Status(PgpStatus::Modified);
    }
    if (Byte(data, 0) != kDataVersion) {
        return Refusal(PgpUnsupported::DataVersion, Byte(data, 0));
    }
    const std::string_view cipher = data.substr(1);
    if (cipher.size() < kPrefixBytes) {
        return Status(PgpStatus::Modified);
    }
    std::optional<PgpMessage> refusal;
    bool keyFound = false;
    for (const Packet& sessionKey : sessionKeys) {
        PgpMessage why;
        const auto s2k = ReadSessionKey(sessionKey.body.Get(), maxS2kCount, why);
        if (!s2k) {
            if (!refusal) {
                refusal = std::move(why);
            }
            continue;
        }
        crypto.SetAesKey(DeriveKey(crypto, *s2k, passphrase).Get());
        if (QuickCheckHolds(crypto, cipher)) {
            keyFound = true;
            break;
        }
        refusal = Status(PgpStatus::WrongPassphrase);
    }
    if (!keyFound) {
        return std::move(*refusal);
    }
    const fw::Secret plain = CfbDecrypt(crypto, cipher);
    const std::string_view all = plain.Get();
    if (all.size() < kPrefixBytes + kMdcBytes) {
        return Status(PgpStatus::Modified);
    }
    const std::size_t mdcAt = all.size() - kMdcBytes;
    if (Byte(all, mdcAt) != (0xC0 | kTagMdc) || Byte(all, mdcAt + 1) != kSha1Bytes) {
        return Status(PgpStatus::Modified);
    }
    const auto context = crypto.BeginHash(PgpCrypto::Hash::Sha1);
    context->Update(all.substr(0, mdcAt + 2));
    if (FinishHash(*context, PgpCrypto::Hash::Sha1).Get() != all.substr(mdcAt + 2)) {
        return Status(PgpStatus::Modified);
    }
    return ReadContent(all.substr(kPrefixBytes, mdcAt - kPrefixBytes));
}

} // namespace

fw::Secret EncryptPgpPackets(PgpCrypto& crypto, std::string_view passphraseUtf8,
                             std::string_view packets, std::uint8_t s2kCountByte) {
    char salt[kSaltBytes];
    crypto.Random(salt, sizeof salt);
    fw::Secret message;
    AppendHeader(message, kTagSymmetricSessionKey, 5 + kSaltBytes);
    for (unsigned byte : {kSessionKeyVersion, kCipherAes256, kS2kIterated, kHashSha256}) {
        AppendByte(message, byte);
    }
    message.Append(std::string_view(salt, sizeof salt));
    AppendByte(message, s2kCountByte);

    S2k s2k;
    s2k.salt = std::string_view(salt, sizeof salt);
    s2k.count = PgpS2kCount(s2kCountByte);
    crypto.SetAesKey(DeriveKey(crypto, s2k, passphraseUtf8).Get());

    fw::Secret plain;
    plain.Resize(kBlockBytes);
    crypto.Random(plain.Buffer(), kBlockBytes);
    const char repeated[2] = {plain.Get()[kBlockBytes - 2], plain.Get()[kBlockBytes - 1]};
    plain.Append(std::string_view(repeated, 2));
    plain.Append(packets);
    AppendByte(plain, 0xC0 | kTagMdc);
    AppendByte(plain, kSha1Bytes);
    const auto context = crypto.BeginHash(PgpCrypto::Hash::Sha1);
    context->Update(plain.Get());
    plain.Append(FinishHash(*context, PgpCrypto::Hash::Sha1).Get());
    CfbEncrypt(crypto, plain.Buffer(), plain.Size());

    AppendHeader(message, kTagEncrypted, 1 + plain.Size());
    AppendByte(message, kDataVersion);
    message.Append(plain.Get());
    return message;
}

fw::Secret EncryptPgpMessage(PgpCrypto& crypto, std::string_view passphraseUtf8,
                             std::string_view plaintext, std::string_view fileName,
                             std::uint32_t time, std::uint8_t s2kCountByte) {
    if (fileName.size() > kMaxFileNameBytes) {
        throw std::invalid_argument("OpenPGP file name longer than 255 bytes");
    }
    fw::Secret literal;
    AppendHeader(literal, kTagLiteral, 2 + fileName.size() + 4 + plaintext.size());
    literal.Append('b');
    AppendByte(literal, fileName.size());
    literal.Append(fileName);
    AppendBigEndian32(literal, time);
    literal.Append(plaintext);
    return EncryptPgpPackets(crypto, passphraseUtf8, literal.Get(), s2kCountByte);
}

PgpMessage DecryptPgpMessage(PgpCrypto& crypto, std::string_view passphraseUtf8,
                             std::string_view message, std::uint64_t maxS2kCount) {
    if (message.empty()) {
        return Status(PgpStatus::Malformed);
    }
    std::vector<Packet> sessionKeys;
    for (Packet packet;;) {
        switch (ReadPacket(message, packet)) {
        case Read::Packet:
            break;
        case Read::End: // no encrypted data
        case Read::Malformed:
            return Status(PgpStatus::Malformed);
        case Read::Truncated:
            return Status(packet.tag == kTagEncrypted ? PgpStatus::Modified : PgpStatus::Malformed);
        }
        switch (packet.tag) {
        case kTagMarker:
        case kTagPublicKeySessionKey:
            break;
        case kTagSymmetricSessionKey:
            sessionKeys.push_back(std::move(packet));
            break;
        case kTagEncryptedNoMdc:
            return Status(PgpStatus::NoIntegrityProtection);
        case kTagEncrypted:
            if (!message.empty()) {
                return Status(PgpStatus::Modified);
            }
            return Decrypt(crypto, passphraseUtf8, sessionKeys, packet.body.Get(), maxS2kCount);
        default:
            return Status(PgpStatus::NotPassphraseEncrypted);
        }
    }
}

} // namespace exchange
