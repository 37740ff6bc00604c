#include "CngPgpCrypto.h"

#include "framework/Cng.h"
#include "framework/Exceptions.h"

#include <algorithm>

namespace exchange {
namespace {

class CngHashContext final : public PgpCrypto::HashContext {
  public:
    explicit CngHashContext(PgpCrypto::Hash hash)
        : m_hash(hash == PgpCrypto::Hash::Sha1 ? BCRYPT_SHA1_ALGORITHM : BCRYPT_SHA256_ALGORITHM) {}
    void Update(std::string_view bytes) override { m_hash.Update(bytes.data(), bytes.size()); }
    void Finish(char* digest) override {
        std::vector<std::uint8_t> bytes = m_hash.Finish();
        std::copy(bytes.begin(), bytes.end(), digest);
        fw::WipeMemory(bytes.data(), bytes.size());
    }

  private:
    fw::CngHash m_hash;
};

} // namespace

struct CngPgpCrypto::Aes {
    explicit Aes(const std::uint8_t* key) : cipher(key) {}
    fw::CngAes256 cipher;
};

CngPgpCrypto::CngPgpCrypto() = default;
CngPgpCrypto::~CngPgpCrypto() = default;

std::unique_ptr<PgpCrypto::HashContext> CngPgpCrypto::BeginHash(Hash hash) {
    return std::make_unique<CngHashContext>(hash);
}

void CngPgpCrypto::SetAesKey(std::string_view key) {
    if (key.size() != 32) {
        throw fw::CFrameworkException("An AES-256 key has 32 bytes.");
    }
    m_aes.reset(); // CNG wipes the key it held as it destroys it
    m_aes = std::make_unique<Aes>(reinterpret_cast<const std::uint8_t*>(key.data()));
}

void CngPgpCrypto::EncryptBlocks(const char* in, char* out, std::size_t blocks) {
    if (!m_aes) {
        throw fw::CFrameworkException("No AES key was set.");
    }
    m_aes->cipher.Encrypt(reinterpret_cast<const std::uint8_t*>(in),
                          reinterpret_cast<std::uint8_t*>(out), blocks);
}

void CngPgpCrypto::Random(char* out, std::size_t size) {
    fw::CngRandom(out, size);
}

} // namespace exchange
