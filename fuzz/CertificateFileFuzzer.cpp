// libFuzzer target: the streaming certificate file reader and the hex decoder, each checked
// against a plain in-memory reading of the same rules, and their results against the limits.
#include "exchange/CertificateFile.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

using exchange::CertificateFileContent;

void Check(bool holds, const char* what) {
    if (!holds) {
        std::fprintf(stderr, "check failed: %s\n", what);
        std::abort();
    }
}

// Hands out the input in pieces whose sizes follow from its last byte: in one piece, or in
// pseudo-random pieces of 1 to 64 bytes.
class FuzzSource final : public exchange::ByteSource {
  public:
    explicit FuzzSource(std::string_view bytes)
        : m_bytes(bytes), m_state(bytes.empty() ? 0 : static_cast<unsigned char>(bytes.back())) {}
    bool Read(char* buffer, std::size_t capacity, std::size_t& got) override {
        got = std::min(capacity, m_bytes.size());
        if (m_state >= 16) {
            m_state = m_state * 1103515245u + 12345u;
            got = std::min<std::size_t>(got, 1 + (m_state >> 16) % 64);
        }
        std::memcpy(buffer, m_bytes.data(), got);
        m_bytes.remove_prefix(got);
        return true;
    }

  private:
    std::string_view m_bytes;
    unsigned m_state;
};

unsigned ReferenceDigit(char c) {
    const char upper = c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c;
    const std::size_t at = std::string_view("0123456789ABCDEF").find(upper);
    return at == std::string_view::npos ? 0xFF : static_cast<unsigned>(at);
}

keys::KeyBytes ReferenceDecode(std::string_view value) {
    std::string bytes;
    for (std::size_t i = 0; i + 1 < value.size() && bytes.size() < 127; i += 2) {
        const unsigned byte =
            ((ReferenceDigit(value[i]) << 4) & 0xFF) | ReferenceDigit(value[i + 1]);
        bytes += static_cast<char>(byte);
    }
    return keys::KeyBytes(bytes); // up to the first zero byte
}

CertificateFileContent ReferenceRead(std::string_view file) {
    file = file.substr(0, file.find('\x1a'));
    std::string text; // CR LF as LF
    for (std::size_t i = 0; i < file.size(); ++i) {
        if (file[i] != '\r' || i + 1 == file.size() || file[i + 1] != '\n') {
            text += file[i];
        }
    }
    CertificateFileContent content;
    const char* const keyTexts[] = {"Version = ", "User = ", "UserKey = ", "CookieKey = "};
    for (std::size_t start = 0; start < text.size();) {
        const std::size_t end = std::min(text.find('\n', start), text.size());
        std::string line = text.substr(start, end - start);
        start = end + 1;
        line = line.substr(0, line.find('\0'));
        std::size_t kind = 0;
        while (kind < 4 && line.find(keyTexts[kind]) == std::string::npos) {
            ++kind;
        }
        if (kind == 4) {
            continue;
        }
        ++content.recognisedLines;
        const std::size_t valueStart = line.find('=') + 2;
        const std::string value = valueStart <= line.size() ? line.substr(valueStart) : "";
        if (kind == 1) {
            content.userIdTooLong = value.size() > 127;
            content.userId = content.userIdTooLong ? "" : value;
        } else if (kind == 2) {
            content.hasUserKeyLine = true;
            content.userKey = ReferenceDecode(value);
        } else if (kind == 3) {
            content.hasCookieKeyLine = true;
            content.cookieKey = ReferenceDecode(value);
        }
    }
    return content;
}

bool WithinLimits(const keys::KeyBytes& key) {
    return key.Size() <= exchange::kMaxDecodedKeyBytes &&
           key.Bytes().find('\0') == std::string::npos;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);

    const keys::KeyBytes key = exchange::HexToKey(input);
    Check(key == ReferenceDecode(input), "HexToKey decodes as the rules say");
    Check(WithinLimits(key), "a decoded key has no zero byte and at most 127 bytes");
    const std::string hex(exchange::KeyToHex(key).Get());
    Check(hex.size() == 2 * std::max<std::size_t>(16, key.Size()) && exchange::HexToKey(hex) == key,
          "KeyToHex gives 32 digits, or two for each byte of a longer key, that decode to it");

    FuzzSource source(input);
    const auto content = exchange::ReadCertificateFile(source);
    Check(content.has_value(), "reading without read errors yields content");
    const CertificateFileContent expected = ReferenceRead(input);
    Check(content->recognisedLines == expected.recognisedLines, "recognised lines");
    Check(content->userId == expected.userId, "user ID");
    Check(content->userIdTooLong == expected.userIdTooLong, "user ID too long");
    Check(content->userKey == expected.userKey, "UserKey");
    Check(content->cookieKey == expected.cookieKey, "CookieKey");
    Check(content->hasUserKeyLine == expected.hasUserKeyLine, "UserKey line");
    Check(content->hasCookieKeyLine == expected.hasCookieKeyLine, "CookieKey line");
    Check(content->userId.size() <= exchange::kMaxUserIdChars &&
              !(content->userIdTooLong && !content->userId.empty()),
          "a user ID is at most 127 characters, or known as too long and empty");
    Check(WithinLimits(content->userKey) && WithinLimits(content->cookieKey), "keys read");
    return 0;
}
