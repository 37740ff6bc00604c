#include "exchange/OpenPgpPackets.h"

#include <algorithm>
#include <stdexcept>
#include <string>

namespace exchange::pgp {
namespace {

// Only data packets may come in partial lengths.
bool MayBePartial(unsigned tag) {
    return tag == kTagCompressed || tag == kTagEncryptedNoMdc || tag == kTagLiteral ||
           tag == kTagEncrypted;
}

} // namespace

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

// Decrypts: the key stream of each block is the encryption of the ciphertext block before it (of
// zeros for the first), all known ahead, so the whole of it in two calls.
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

} // namespace exchange::pgp
