#include "exchange/OpenPgp.h"

#include "exchange/OpenPgpPackets.h"

#include <algorithm>
#include <optional>
#include <stdexcept>
#include <utility>
#include <vector>

namespace exchange {
namespace {

using namespace pgp;

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
