// The OpenPGP messages, natively with libcrypto as their cryptography: round trips, a table of
// altered messages, crafted contents, and messages exchanged with gpg both ways.
#include "exchange/OpenPgp.h"
#include "OpenSslPgpCrypto.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

using namespace std::string_literals;
using exchange::PgpMessage;
using exchange::PgpStatus;
using exchange::PgpUnsupported;

constexpr std::string_view kPassphrase = "correct horse \xC3\xA9";
constexpr std::uint8_t kFastCount = 0x60; // 65,536 bytes hashed
constexpr std::uint32_t kTime = 1700000000;

testing_support::OpenSslPgpCrypto& Crypto() {
    static testing_support::OpenSslPgpCrypto crypto;
    return crypto;
}

std::string Encrypt(std::string_view data, std::string_view name = "certs.crt",
                    std::uint8_t count = kFastCount, std::string_view passphrase = kPassphrase) {
    return std::string(
        exchange::EncryptPgpMessage(Crypto(), passphrase, data, name, kTime, count).Get());
}

PgpMessage Decrypt(std::string_view message, std::string_view passphrase = kPassphrase) {
    return exchange::DecryptPgpMessage(Crypto(), passphrase, message);
}

// Bytes that do not repeat in short periods.
std::string Noise(std::size_t size) {
    std::string bytes(size, '\0');
    std::uint32_t state = 12345;
    for (char& c : bytes) {
        state = state * 1103515245u + 12345u;
        c = static_cast<char>(state >> 23);
    }
    return bytes;
}

const char* Name(PgpStatus status) {
    const char* const names[] = {"Ok",
                                 "Malformed",
                                 "NotPassphraseEncrypted",
                                 "Unsupported",
                                 "WrongPassphrase",
                                 "Modified",
                                 "NoIntegrityProtection",
                                 "Compressed",
                                 "NotOneLiteralPacket"};
    return names[static_cast<int>(status)];
}

// "status" or "Unsupported unsupported-kind value", for readable failures.
std::string Describe(const PgpMessage& message) {
    std::string text = Name(message.status);
    if (message.status == PgpStatus::Unsupported) {
        text += " " + std::to_string(static_cast<int>(message.unsupported)) + " " +
                std::to_string(message.unsupportedValue);
    }
    if (message.status != PgpStatus::Ok && (!message.data.Empty() || !message.fileName.empty())) {
        text += " with data";
    }
    return text;
}

std::string Unsupported(PgpUnsupported what, unsigned value) {
    return Describe(PgpMessage{PgpStatus::Unsupported, what, value, {}, {}, 0});
}

TEST(OpenPgp, RoundTrips) {
    const struct {
        std::string data;
        std::string name;
    } cases[] = {
        {"", ""},
        {"x", "a.crt"},
        {Noise(185), "exactly 191 bytes of literal body"}, // one-byte lengths at their end
        {Noise(186), ""},                                  // two-byte lengths
        {Noise(8377), ""},                                 // the last two-byte literal length
        {Noise(8378), ""},                                 // five-byte lengths
        {Noise(1500000), std::string(255, 'n')},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.data.size());
        const PgpMessage message = Decrypt(Encrypt(c.data, c.name));
        ASSERT_EQ(Describe(message), "Ok");
        EXPECT_TRUE(message.data.Get() == c.data);
        EXPECT_EQ(message.fileName, c.name);
        EXPECT_EQ(message.time, kTime);
    }
}

TEST(OpenPgp, WritesTheSessionKeyPacketAndFreshRandomBytes) {
    const std::string first = Encrypt("data");
    const std::string second = Encrypt("data");
    // Tag 3, 13 bytes: version 4, AES-256, iterated and salted S2K, SHA-256, salt, count.
    EXPECT_EQ(first.substr(0, 6), "\xC3\x0D\x04\x09\x03\x08"s);
    EXPECT_EQ(first[14], static_cast<char>(kFastCount));
    // Tag 18, one-byte length, version 1.
    EXPECT_EQ(first.substr(15, 1), "\xD2");
    EXPECT_EQ(static_cast<unsigned char>(first[16]), first.size() - 17);
    EXPECT_EQ(first[17], 1);
    EXPECT_EQ(first.size(), 15 + 3 + 18 + 2 + 6 + 9 + 4 + 22);
    EXPECT_NE(first.substr(6, 8), second.substr(6, 8)) << "salt";
    EXPECT_NE(first.substr(18), second.substr(18)) << "ciphertext";
    EXPECT_THROW(Encrypt("", std::string(256, 'n')), std::invalid_argument);
}

TEST(OpenPgp, S2kCountsAndPassphrases) {
    const struct {
        std::uint8_t count;
        std::string passphrase;
    } cases[] = {
        {0x00, ""},                     // 1,024 bytes of salt alone
        {0x00, std::string(3000, 'p')}, // salt and passphrase longer than the count: once whole
        {0x6F, "p"},                    // 126,976 bytes: not a multiple of the 64 KiB pieces
        {exchange::kPgpMaxS2kCountByte, "max"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.count);
        const std::string message = Encrypt("data", "n", c.count, c.passphrase);
        EXPECT_EQ(Describe(Decrypt(message, c.passphrase)), "Ok");
        EXPECT_EQ(Describe(Decrypt(message, c.passphrase + "x")), "WrongPassphrase");
    }
    EXPECT_EQ(exchange::PgpS2kCount(0xFF), 65011712u);
    EXPECT_EQ(exchange::PgpS2kCount(0x60), 65536u);
}

std::string FromHex(std::string_view hex) {
    std::string bytes;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
        bytes += static_cast<char>(std::stoi(std::string(hex.substr(i, 2)), nullptr, 16));
    }
    return bytes;
}

// Messages that gpg 2.2.40 wrote (--symmetric --cipher-algo AES256 --s2k-count 65536
// --compress-algo none --set-filename gpg.crt), passphrase "known answer": the S2K with SHA-1,
// whose key takes two hashes, and with SHA-256, without gpg at hand.
TEST(OpenPgp, ReadsMessagesThatGpgWrote) {
    const char* const messages[] = {
        "8c0d04090302ae786954d629f28260d2440127c40f74398596d8a8ee8d850ea16b5c2eff4485b22fb621d979"
        "a105ccf0400a0dfb817a0a5e0fc21b00120c14e84d31838e36467fcee0100e3759f8f9fef0e30fc552",
        "8c0d04090308246b92abc1ca098060d244014361921e26e2109251cf78c5ec29060bb1db7f44488b07330924"
        "a2eaa2589a8a9dea97f2bad9d8248eab77405cc790a075d859c09c0b8f26bd5f0911faa4b36c1dee96",
    };
    for (const char* hex : messages) {
        const PgpMessage message = Decrypt(FromHex(hex), "known answer");
        ASSERT_EQ(Describe(message), "Ok") << hex;
        EXPECT_EQ(std::string(message.data.Get()), "User = gpg\r\n");
        EXPECT_EQ(message.fileName, "gpg.crt");
    }
}

// Positions in a message of Encrypt(kAltered): session key packet at 0, data packet at 15.
constexpr std::size_t kVersionAt = 2, kCipherAt = 3, kS2kTypeAt = 4, kHashAt = 5, kSaltAt = 6,
                      kCountAt = 14, kDataTagAt = 15, kDataVersionAt = 17, kCipherTextAt = 18;
const std::string kAltered = Noise(100);

std::function<void(std::string&)> Set(std::size_t at, unsigned value) {
    return [=](std::string& m) { m[at] = static_cast<char>(value); };
}
std::function<void(std::string&)> Flip(std::ptrdiff_t fromEnd) {
    return [=](std::string& m) { m[m.size() - static_cast<std::size_t>(fromEnd)] ^= 0x01; };
}
std::function<void(std::string&)> Cut(std::size_t size) {
    return [=](std::string& m) { m.resize(size); };
}

TEST(OpenPgp, RefusesAlteredMessages) {
    const std::size_t whole = Encrypt(kAltered).size();
    const struct {
        const char* what;
        std::function<void(std::string&)> alter;
        std::string expected;
    } cases[] = {
        {"unaltered", [](std::string&) {}, "Ok"},
        {"flipped literal data byte", Flip(40), "Modified"},
        {"flipped last ciphertext byte before the code", Flip(23), "Modified"},
        {"flipped code byte", Flip(1), "Modified"},
        {"flipped code header", Flip(22), "Modified"},
        {"extra byte after the end", [](std::string& m) { m += '\0'; }, "Modified"},
        {"cut to nothing", Cut(0), "Malformed"},
        {"cut in the session key packet", Cut(5), "Malformed"},
        {"cut after the session key packet", Cut(kDataTagAt), "Malformed"},
        {"cut after the data packet's tag", Cut(kDataTagAt + 1), "Modified"},
        {"cut in the quick check", Cut(kCipherTextAt + 10), "Modified"},
        {"cut in the literal data", Cut(whole / 2), "Modified"},
        {"cut in the code", Cut(whole - 1), "Modified"},
        {"data packet shortened by its length",
         Set(kDataTagAt + 1, static_cast<unsigned>(whole - 18)), "Modified"},
        {"session key version 5", Set(kVersionAt, 5),
         Unsupported(PgpUnsupported::SessionKeyVersion, 5)},
        {"AES-128", Set(kCipherAt, 7), Unsupported(PgpUnsupported::Cipher, 7)},
        {"S2K type 101", Set(kS2kTypeAt, 101), Unsupported(PgpUnsupported::S2kType, 101)},
        {"salted S2K with a byte over", Set(kS2kTypeAt, 1),
         Unsupported(PgpUnsupported::EncryptedSessionKey, 0)},
        {"SHA-512", Set(kHashAt, 10), Unsupported(PgpUnsupported::Hash, 10)},
        {"SHA-1 in place of SHA-256", Set(kHashAt, 2), "WrongPassphrase"},
        {"other salt", Set(kSaltAt + 7, 0), "WrongPassphrase"},
        {"other count", Set(kCountAt, kFastCount + 1), "WrongPassphrase"},
        {"data packet version 2", Set(kDataVersionAt, 2),
         Unsupported(PgpUnsupported::DataVersion, 2)},
        {"data without integrity protection", Set(kDataTagAt, 0xC9), "NoIntegrityProtection"},
        {"public-key session key", Set(0, 0xC1), "NotPassphraseEncrypted"},
        {"a signature first", Set(0, 0xC2), "NotPassphraseEncrypted"},
        {"no packet header", Set(0, 0x43), "Malformed"},
        {"armored", [](std::string& m) { m = "-----BEGIN PGP MESSAGE-----\n"; }, "Malformed"},
        {"marker packet first", [](std::string& m) { m.insert(0, "\xA8\x03PGP"); }, "Ok"},
        {"old-format session key header", [](std::string& m) { m.replace(0, 1, "\x8C"); }, "Ok"},
        {"five-byte session key length",
         [](std::string& m) { m.replace(1, 1, "\xFF\x00\x00\x00\x0D"s); }, "Ok"},
        {"session key in partial lengths", [](std::string& m) { m.replace(1, 1, "\xE0"); },
         "Malformed"},
    };
    for (const auto& c : cases) {
        std::string message = Encrypt(kAltered);
        c.alter(message);
        const PgpMessage result = Decrypt(message);
        EXPECT_EQ(Describe(result), c.expected) << c.what;
        if (result.status == PgpStatus::Ok) {
            EXPECT_TRUE(result.data.Get() == kAltered) << c.what;
        }
    }
    EXPECT_EQ(Describe(Decrypt(Encrypt(kAltered), "correct horse")), "WrongPassphrase");
    EXPECT_EQ(Describe(exchange::DecryptPgpMessage(Crypto(), kPassphrase, Encrypt(kAltered),
                                                   exchange::PgpS2kCount(kFastCount) - 1)),
              Unsupported(PgpUnsupported::S2kCount, kFastCount));
}

// One wrong passphrase in 65,536 passes the quick check; the modification detection code must
// still refuse it, and nothing of the content may come out.
TEST(OpenPgp, AWrongPassphraseThatPassesTheQuickCheckGivesNoContent) {
    const std::string message = Encrypt("secret", "n", 0x00);
    std::size_t passed = 0;
    for (unsigned attempt = 0; attempt < 2000000 && passed < 1; ++attempt) {
        const PgpMessage result = Decrypt(message, "wrong " + std::to_string(attempt));
        if (result.status != PgpStatus::WrongPassphrase) {
            ++passed;
            EXPECT_EQ(Describe(result), "Modified") << attempt;
        }
    }
    EXPECT_EQ(passed, 1u);
}

std::string LiteralBody(std::string_view data) {
    return "b\x01n\x00\x00\x00\x07"s + std::string(data);
}

std::string Literal(std::string_view data) {
    return "\xCB"s + static_cast<char>(7 + data.size()) + LiteralBody(data);
}

// A literal data packet in a first partial length of 2^exponent bytes and a five-byte one.
std::string PartialLiteral(std::string_view data, unsigned exponent) {
    const std::string body = LiteralBody(data);
    const std::size_t first = std::size_t{1} << exponent, rest = body.size() - first;
    std::string packet = "\xCB"s + static_cast<char>(0xE0 + exponent) + body.substr(0, first);
    packet += '\xFF';
    for (int shift = 24; shift >= 0; shift -= 8) {
        packet += static_cast<char>(rest >> shift);
    }
    return packet + body.substr(first);
}

TEST(OpenPgp, ReadsOnlyOneLiteralPacket) {
    const struct {
        const char* what;
        std::string packets;
        std::string expected;
        std::string data;
    } cases[] = {
        {"one literal packet", Literal("abc"), "Ok", "abc"},
        {"old-format header", "\xAC\x0A"s + Literal("abc").substr(2), "Ok", "abc"},
        {"old-format header to the end", "\xAF"s + Literal("abc").substr(2), "Ok", "abc"},
        {"two-byte old-format length", "\xAD\x00\x0A"s + Literal("abc").substr(2), "Ok", "abc"},
        {"partial lengths",
         "\xCB\xE1"
         "b\x01\xE2n\x00\x00\x00\xE0\x07\x03"
         "abc"s,
         "Ok", "abc"},
        {"a partial length of 64 KiB", PartialLiteral(Noise(70000), 16), "Ok", Noise(70000)},
        {"a partial length of 1 GiB cut short", "\xCB\xFE"s + LiteralBody("abc"), "Malformed", ""},
        {"partial lengths cut short",
         "\xCB\xE2"
         "b\x01n"s,
         "Malformed", ""},
        {"nothing", "", "NotOneLiteralPacket", ""},
        {"compressed", "\xC8\x03\x00\x03\x00"s, "Compressed", ""},
        {"two literal packets", Literal("a") + Literal("b"), "NotOneLiteralPacket", ""},
        {"a signature after", Literal("a") + "\xC2\x01\x04", "NotOneLiteralPacket", ""},
        {"a marker packet", "\xCA\x03PGP", "NotOneLiteralPacket", ""},
        {"file name longer than the packet",
         "\xCB\x06"
         "b\x09n\x00\x00\x00"s,
         "Malformed", ""},
        {"no time",
         "\xCB\x03"
         "b\x01n"s,
         "Malformed", ""},
        {"no header", "abc", "Malformed", ""},
    };
    for (const auto& c : cases) {
        const std::string message =
            std::string(exchange::EncryptPgpPackets(Crypto(), kPassphrase, c.packets, 0).Get());
        const PgpMessage result = Decrypt(message);
        EXPECT_EQ(Describe(result), c.expected) << c.what;
        EXPECT_EQ(std::string(result.data.Get()), c.data) << c.what;
        if (result.status == PgpStatus::Ok) {
            EXPECT_EQ(result.fileName, "n") << c.what;
            EXPECT_EQ(result.time, 7u) << c.what;
        }
    }
}

// Hands every call on to libcrypto but fails the n-th one (hash updates and digests counted too)
// by throwing.
class FailingCrypto final : public exchange::PgpCrypto {
  public:
    explicit FailingCrypto(std::size_t failingCall) : m_left(failingCall) {}
    std::unique_ptr<HashContext> BeginHash(Hash hash) override {
        Count();
        return std::make_unique<FailingHash>(Crypto().BeginHash(hash), *this);
    }
    void SetAesKey(std::string_view key) override {
        Count();
        Crypto().SetAesKey(key);
    }
    void EncryptBlocks(const char* in, char* out, std::size_t blocks) override {
        Count();
        Crypto().EncryptBlocks(in, out, blocks);
    }
    void Random(char* out, std::size_t size) override {
        Count();
        Crypto().Random(out, size);
    }
    bool Failed() const { return m_failed; }

  private:
    class FailingHash final : public HashContext {
      public:
        FailingHash(std::unique_ptr<HashContext> hash, FailingCrypto& owner)
            : m_hash(std::move(hash)), m_owner(owner) {}
        void Update(std::string_view bytes) override {
            m_owner.Count();
            m_hash->Update(bytes);
        }
        void Finish(char* digest) override {
            m_owner.Count();
            m_hash->Finish(digest);
        }

      private:
        std::unique_ptr<HashContext> m_hash;
        FailingCrypto& m_owner;
    };
    void Count() {
        if (m_left-- == 0) {
            m_failed = true;
            throw std::runtime_error("provider failure");
        }
    }
    std::size_t m_left;
    bool m_failed = false;
};

// A provider's failure at any of its calls goes through to the caller, with nothing leaked (the
// address sanitizer's leak check) and nothing returned.
TEST(OpenPgp, ProviderFailuresGoThrough) {
    const std::string message = Encrypt("data", "n", 0x00);
    for (const bool writing : {true, false}) {
        bool completed = false;
        for (std::size_t call = 0; !completed; ++call) {
            SCOPED_TRACE(call);
            FailingCrypto crypto(call);
            try {
                if (writing) {
                    exchange::EncryptPgpMessage(crypto, kPassphrase, "data", "n", 0, 0x00);
                } else {
                    EXPECT_EQ(Describe(exchange::DecryptPgpMessage(crypto, kPassphrase, message)),
                              "Ok");
                }
                completed = true;
                EXPECT_FALSE(crypto.Failed());
            } catch (const std::runtime_error& e) {
                EXPECT_STREQ(e.what(), "provider failure");
            }
            ASSERT_LT(call, 100u) << "calls without end";
        }
    }
}

// A folder for gpg's home and files, with the passphrase in a file; the agent that gpg starts
// there is stopped and the folder removed at the end.
class GpgFolder {
  public:
    explicit GpgFolder(std::string_view passphrase) {
        char path[] = "/tmp/wardkeep-pgp-XXXXXX";
        if (mkdtemp(path) == nullptr) {
            throw std::runtime_error("mkdtemp");
        }
        m_path = path;
        Write("passphrase", passphrase);
    }
    ~GpgFolder() {
        Run("gpgconf --homedir " + m_path + " --kill gpg-agent");
        Run("rm -rf " + m_path);
    }
    GpgFolder(const GpgFolder&) = delete;
    GpgFolder& operator=(const GpgFolder&) = delete;

    std::string File(std::string_view name) const { return m_path + "/" + std::string(name); }
    void Write(std::string_view name, std::string_view bytes) const {
        std::ofstream(File(name), std::ios::binary) << bytes;
    }
    std::string Read(std::string_view name) const {
        std::ifstream file(File(name), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(file), {});
    }
    // gpg in this folder with the passphrase; true when it exits with 0.
    bool Gpg(const std::string& arguments) const {
        return Run("gpg --homedir " + m_path +
                   " --batch --yes --no-tty --quiet --pinentry-mode loopback --no-symkey-cache"
                   " --passphrase-file " +
                   File("passphrase") + " " + arguments + " 2>" + File("stderr")) == 0;
    }

  private:
    static int Run(const std::string& command) { return std::system(command.c_str()); }
    std::string m_path;
};

bool HaveGpg() {
    return std::system("gpg --version >/dev/null 2>&1") == 0;
}

constexpr const char* kGpgSymmetric =
    "--symmetric --cipher-algo AES256 --s2k-mode 3 --s2k-count 65536 --compress-algo none ";

TEST(OpenPgp, ReadsWhatGpgWrites) {
    if (!HaveGpg()) {
        GTEST_SKIP() << "gpg is not installed";
    }
    const struct {
        const char* options;
        std::string data;
        bool fromStandardInput;
        std::string expected;
    } cases[] = {
        {"--s2k-digest-algo SHA256", "", false, "Ok"},
        {"--s2k-digest-algo SHA256", "one certificate", false, "Ok"},
        {"--s2k-digest-algo SHA256", Noise(1500000), false, "Ok"},
        {"--s2k-digest-algo SHA256", Noise(100000), true, "Ok"}, // partial literal lengths
        {"--s2k-digest-algo SHA1", "sha-1", false, "Ok"},
        {"--s2k-digest-algo SHA256 --s2k-mode 1", "salted", false, "Ok"},
        {"--s2k-digest-algo SHA1 --s2k-mode 0", "simple", false, "Ok"},
        {"--s2k-digest-algo SHA256 --cipher-algo AES128", "aes-128", false,
         Unsupported(PgpUnsupported::Cipher, 7)},
        {"--s2k-digest-algo SHA512", "sha-512", false, Unsupported(PgpUnsupported::Hash, 10)},
        {"--s2k-digest-algo SHA256 --compress-algo zlib", "compressed", false, "Compressed"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.options);
        const GpgFolder folder(kPassphrase);
        folder.Write("in.crt", c.data);
        const std::string input =
            c.fromStandardInput ? "< " + folder.File("in.crt") : folder.File("in.crt");
        ASSERT_TRUE(folder.Gpg(kGpgSymmetric + std::string(c.options) + " -o " +
                               folder.File("out.gpg") + " " + input))
            << folder.Read("stderr");
        const PgpMessage message = Decrypt(folder.Read("out.gpg"));
        EXPECT_EQ(Describe(message), c.expected);
        if (message.status == PgpStatus::Ok) {
            EXPECT_TRUE(message.data.Get() == c.data);
            EXPECT_EQ(message.fileName, c.fromStandardInput ? "" : "in.crt");
        }
        EXPECT_EQ(Describe(Decrypt(folder.Read("out.gpg"), "other")),
                  c.expected.rfind("Unsupported", 0) == 0 ? c.expected : "WrongPassphrase");
    }
}

TEST(OpenPgp, GpgReadsWhatWardkeepWrites) {
    if (!HaveGpg()) {
        GTEST_SKIP() << "gpg is not installed";
    }
    const struct {
        std::string data;
        std::uint8_t count;
        std::string passphrase;
    } cases[] = {
        {"", kFastCount, std::string(kPassphrase)},
        {"one certificate", exchange::kPgpMaxS2kCountByte, std::string(kPassphrase)},
        {Noise(1500000), kFastCount, std::string(kPassphrase)},
        {"long passphrase", 0x00, std::string(3000, 'p')},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.data.size());
        const GpgFolder folder(c.passphrase);
        folder.Write("in.gpg", Encrypt(c.data, "certs.crt", c.count, c.passphrase));
        ASSERT_TRUE(folder.Gpg("--status-file " + folder.File("status") + " -o " +
                               folder.File("out.crt") + " --decrypt " + folder.File("in.gpg")))
            << folder.Read("stderr");
        const std::string status = folder.Read("status");
        EXPECT_NE(status.find("[GNUPG:] GOODMDC"), std::string::npos) << status;
        EXPECT_NE(status.find("[GNUPG:] DECRYPTION_OKAY"), std::string::npos) << status;
        EXPECT_NE(status.find("[GNUPG:] PLAINTEXT 62 1700000000 certs.crt"), std::string::npos)
            << status;
        EXPECT_TRUE(folder.Read("out.crt") == c.data);
    }
}

// With WARDKEEP_PGP_SEEDS set to a folder, writes the fuzzer's seeds there (fuzz/corpus-pgp):
// small messages from Wardkeep and gpg, passphrase "fuzz", S2K counts of 65,536 bytes at most.
TEST(OpenPgp, WritesFuzzerSeeds) {
    const char* folder = std::getenv("WARDKEEP_PGP_SEEDS");
    if (folder == nullptr || !HaveGpg()) {
        GTEST_SKIP() << "WARDKEEP_PGP_SEEDS names no folder, or no gpg";
    }
    const auto write = [folder](const char* name, std::string_view bytes) {
        std::ofstream(std::string(folder) + "/" + name, std::ios::binary) << bytes;
    };
    write("wardkeep.pgp", Encrypt("User = a\r\n", "a.crt", 0x10, "fuzz"));
    write("wardkeep-empty.pgp", Encrypt("", "", 0x00, "fuzz"));
    const GpgFolder gpg("fuzz");
    gpg.Write("in.crt", "User = b\r\n");
    ASSERT_TRUE(gpg.Gpg(kGpgSymmetric + "-o "s + gpg.File("out.gpg") + " < " + gpg.File("in.crt")));
    write("gpg-stdin.pgp", gpg.Read("out.gpg"));
    ASSERT_TRUE(gpg.Gpg(kGpgSymmetric + "--compress-algo zip -o "s + gpg.File("out.gpg") + " " +
                        gpg.File("in.crt")));
    write("gpg-compressed.pgp", gpg.Read("out.gpg"));
}

} // namespace
