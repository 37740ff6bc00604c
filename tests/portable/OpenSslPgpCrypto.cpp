#include "OpenSslPgpCrypto.h"

#include <openssl/evp.h>
#include <openssl/rand.h>

#include <climits>
#include <stdexcept>

namespace testing_support {
namespace {

void Require(bool done, const char* what) {
    if (!done) {
        throw std::runtime_error(std::string("libcrypto: ") + what);
    }
}

class OpenSslHash final : public exchange::PgpCrypto::HashContext {
  public:
    explicit OpenSslHash(exchange::PgpCrypto::Hash hash) : m_context(EVP_MD_CTX_new()) {
        Require(m_context != nullptr, "EVP_MD_CTX_new");
        const EVP_MD* md = hash == exchange::PgpCrypto::Hash::Sha1 ? EVP_sha1() : EVP_sha256();
        Require(EVP_DigestInit_ex(m_context, md, nullptr) == 1, "EVP_DigestInit_ex");
    }
    ~OpenSslHash() override { EVP_MD_CTX_free(m_context); }
    OpenSslHash(const OpenSslHash&) = delete;
    OpenSslHash& operator=(const OpenSslHash&) = delete;

    void Update(std::string_view bytes) override {
        Require(EVP_DigestUpdate(m_context, bytes.data(), bytes.size()) == 1, "EVP_DigestUpdate");
    }
    void Finish(char* digest) override {
        Require(EVP_DigestFinal_ex(m_context, reinterpret_cast<unsigned char*>(digest), nullptr) ==
                    1,
                "EVP_DigestFinal_ex");
    }

  private:
    EVP_MD_CTX* m_context;
};

} // namespace

struct OpenSslPgpCrypto::Cipher {
    EVP_CIPHER_CTX* context = EVP_CIPHER_CTX_new();
    ~Cipher() { EVP_CIPHER_CTX_free(context); } // wipes the key schedule
};

OpenSslPgpCrypto::OpenSslPgpCrypto() : m_cipher(std::make_unique<Cipher>()) {
    Require(m_cipher->context != nullptr, "EVP_CIPHER_CTX_new");
}

OpenSslPgpCrypto::~OpenSslPgpCrypto() = default;

std::unique_ptr<exchange::PgpCrypto::HashContext> OpenSslPgpCrypto::BeginHash(Hash hash) {
    return std::make_unique<OpenSslHash>(hash);
}

void OpenSslPgpCrypto::SetAesKey(std::string_view key) {
    Require(key.size() == 32, "AES-256 takes a 32-byte key");
    Require(EVP_EncryptInit_ex(m_cipher->context, EVP_aes_256_ecb(), nullptr,
                               reinterpret_cast<const unsigned char*>(key.data()), nullptr) == 1,
            "EVP_EncryptInit_ex");
    Require(EVP_CIPHER_CTX_set_padding(m_cipher->context, 0) == 1, "EVP_CIPHER_CTX_set_padding");
}

void OpenSslPgpCrypto::EncryptBlocks(const char* in, char* out, std::size_t blocks) {
    constexpr std::size_t kMaxBlocksAtOnce = INT_MAX / 16;
    while (blocks > 0) {
        const std::size_t now = std::min(blocks, kMaxBlocksAtOnce);
        int written = 0;
        Require(EVP_EncryptUpdate(m_cipher->context, reinterpret_cast<unsigned char*>(out),
                                  &written, reinterpret_cast<const unsigned char*>(in),
                                  static_cast<int>(now * 16)) == 1 &&
                    written == static_cast<int>(now * 16),
                "EVP_EncryptUpdate");
        in += now * 16;
        out += now * 16;
        blocks -= now;
    }
}

void OpenSslPgpCrypto::Random(char* out, std::size_t size) {
    Require(size <= INT_MAX &&
                RAND_bytes(reinterpret_cast<unsigned char*>(out), static_cast<int>(size)) == 1,
            "RAND_bytes");
}

} // namespace testing_support
