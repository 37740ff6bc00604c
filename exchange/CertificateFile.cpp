#include "CertificateFile.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

namespace exchange {
namespace {

constexpr char kHexDigits[] = "0123456789abcdef";
constexpr std::size_t kKeyHexBytes = 16;
constexpr char kEndOfData = 0x1A; // Ctrl-Z: the file ends just before it
constexpr std::size_t kChunkBytes = 64 * 1024;

// The four key texts, in the order in which they decide a line's kind. Each ends in " = ", so
// the reader looks for them only where that separator stands.
enum LineKind : unsigned { kVersionLine = 1, kUserLine = 2, kUserKeyLine = 4, kCookieKeyLine = 8 };
struct KeyWord {
    std::string_view word; // the key text without its " = "
    LineKind kind;
};
constexpr KeyWord kKeyWords[] = {{"Version", kVersionLine},
                                 {"User", kUserLine},
                                 {"UserKey", kUserKeyLine},
                                 {"CookieKey", kCookieKeyLine}};
// A key text that spans two pieces of a line has at most this many characters in the first.
constexpr std::size_t kTailChars = 11; // "CookieKey = " less one
// The characters of a value that can matter: all that a key decodes from, and more than the
// longest user ID, so that a longer one is seen to be too long.
constexpr std::size_t kValueChars = 2 * kMaxDecodedKeyBytes;
static_assert(kValueChars > kMaxUserIdChars, "a too long user ID must be recognisable");

unsigned DigitValue(char c) {
    if (c >= 'a' && c <= 'z') {
        c = static_cast<char>(c - 'a' + 'A');
    }
    if (c >= '0' && c <= '9') {
        return static_cast<unsigned>(c - '0');
    }
    if (c >= 'A' && c <= 'F') {
        return static_cast<unsigned>(c - 'A' + 10);
    }
    return 0xFF;
}

bool Write(ByteSink& file, std::string_view text) {
    return file.Write(text.data(), text.size());
}

// The kinds of the key texts that lie wholly within `text`.
unsigned FindKeyTexts(const char* text, std::size_t size) {
    unsigned kinds = 0;
    if (size < 3) {
        return kinds;
    }
    // An "=" with a space on either side, then the word before the first space.
    const char* const last = text + size - 1;
    for (const char* at = text + 1; at < last; ++at) {
        at = static_cast<const char*>(std::memchr(at, '=', static_cast<std::size_t>(last - at)));
        if (at == nullptr) {
            break;
        }
        if (at[-1] != ' ' || at[1] != ' ') {
            continue;
        }
        const std::string_view before(text, static_cast<std::size_t>(at - 1 - text));
        for (const KeyWord& key : kKeyWords) {
            if (before.size() >= key.word.size() &&
                before.substr(before.size() - key.word.size()) == key.word) {
                kinds |= key.kind;
            }
        }
    }
    return kinds;
}

// Takes the file's bytes piece by piece and keeps of each line only what its kind and value
// need, so that memory stays bounded whatever the lengths of the lines.
class LineReader {
  public:
    LineReader() = default;
    LineReader(const LineReader&) = delete;
    LineReader& operator=(const LineReader&) = delete;
    // The values are wiped by their own type; the last characters of a line may be a key's.
    ~LineReader() { fw::WipeMemory(m_tail.data(), m_tail.size()); }

    // The next bytes of the data, which holds no Ctrl-Z up to here.
    void Take(const char* data, std::size_t size) {
        const char* at = data;
        const char* const end = data + size;
        while (at < end) {
            const auto* lineFeed =
                static_cast<const char*>(std::memchr(at, '\n', static_cast<std::size_t>(end - at)));
            const char* textEnd = lineFeed != nullptr ? lineFeed : end;
            if (m_pendingCr) { // the last byte of the previous piece
                m_pendingCr = false;
                if (lineFeed != at) {
                    TakeLineText("\r", 1);
                }
            }
            // A CR right before an LF belongs to the line end; one at the end of the piece may.
            if (textEnd > at && textEnd[-1] == '\r') {
                --textEnd;
                m_pendingCr = lineFeed == nullptr;
            }
            TakeLineText(at, static_cast<std::size_t>(textEnd - at));
            if (lineFeed == nullptr) {
                break;
            }
            EndLine();
            at = lineFeed + 1;
        }
    }

    // The end of the data: ends the last line and decodes the keys.
    CertificateFileContent Finish() {
        if (m_pendingCr) {
            TakeLineText("\r", 1);
        }
        EndLine();
        if (m_content.hasUserKeyLine) {
            m_content.userKey = HexToKey(m_userKeyValue.Get());
        }
        if (m_content.hasCookieKeyLine) {
            m_content.cookieKey = HexToKey(m_cookieKeyValue.Get());
        }
        return std::move(m_content);
    }

  private:
    // Characters of the current line, without line end; a zero byte ends the line's text.
    void TakeLineText(const char* text, std::size_t size) {
        if (m_afterZero || size == 0) {
            return;
        }
        if (const void* zero = std::memchr(text, '\0', size)) {
            m_afterZero = true;
            size = static_cast<std::size_t>(static_cast<const char*>(zero) - text);
        }
        if (size == 0) {
            return;
        }
        // "Version = " decides the line whatever else it holds.
        if ((m_kinds & kVersionLine) == 0) {
            m_kinds |= FindKeyTexts(text, size);
            // The texts that span the line's earlier pieces and this one.
            std::array<char, 2 * kTailChars> joint;
            std::copy_n(m_tail.data(), m_tailSize, joint.data());
            struct Wiped {
                std::array<char, 2 * kTailChars>& text;
                ~Wiped() { fw::WipeMemory(text.data(), text.size()); }
            } wiped{joint};
            const std::size_t jointSize = m_tailSize + std::min(size, kTailChars);
            std::copy_n(text, jointSize - m_tailSize, joint.data() + m_tailSize);
            if (m_tailSize > 0) {
                m_kinds |= FindKeyTexts(joint.data(), jointSize);
            }
            const char* lineSoFarEnd = size >= kTailChars ? text + size : joint.data() + jointSize;
            m_tailSize = std::min(m_tailSize + size, kTailChars);
            std::copy_n(lineSoFarEnd - m_tailSize, m_tailSize, m_tail.data());
        }
        if (!m_hasEquals) {
            if (const void* equals = std::memchr(text, '=', size)) {
                m_hasEquals = true;
                m_valueStart = m_lineChars +
                               static_cast<std::size_t>(static_cast<const char*>(equals) - text) +
                               2;
            }
        }
        const std::uint64_t textEnd = m_lineChars + size;
        if (m_hasEquals && textEnd > m_valueStart && m_value.Size() < kValueChars) {
            const auto skip =
                static_cast<std::size_t>(std::max(m_valueStart, m_lineChars) - m_lineChars);
            m_value.Append(
                std::string_view(text + skip, std::min(size - skip, kValueChars - m_value.Size())));
        }
        m_lineChars = textEnd;
    }

    void EndLine() {
        if (m_kinds != 0) {
            ++m_content.recognisedLines;
            if ((m_kinds & kVersionLine) != 0) {
                // Its value plays no part.
            } else if ((m_kinds & kUserLine) != 0) {
                m_content.userIdTooLong =
                    m_lineChars > m_valueStart && m_lineChars - m_valueStart > kMaxUserIdChars;
                if (m_content.userIdTooLong) {
                    m_content.userId.clear();
                } else {
                    m_content.userId.assign(m_value.Get());
                }
            } else if ((m_kinds & kUserKeyLine) != 0) {
                m_content.hasUserKeyLine = true;
                m_userKeyValue = m_value;
            } else {
                m_content.hasCookieKeyLine = true;
                m_cookieKeyValue = m_value;
            }
        }
        m_kinds = 0;
        m_afterZero = false;
        m_hasEquals = false;
        m_lineChars = 0;
        m_valueStart = 0;
        m_value.Clear();
        m_tailSize = 0;
    }

    CertificateFileContent m_content;
    // The key values are decoded at the end: only the last of each kind counts.
    fw::Secret m_userKeyValue;
    fw::Secret m_cookieKeyValue;
    bool m_pendingCr = false; // a CR ended the last piece: a line end if an LF follows
    // The current line.
    unsigned m_kinds = 0;     // the key texts found in it so far
    bool m_afterZero = false; // its text has ended at a zero byte
    bool m_hasEquals = false;
    std::uint64_t m_lineChars = 0;         // characters of its text so far
    std::uint64_t m_valueStart = 0;        // where its value starts: two after its first "="
    fw::Secret m_value;                    // its value's first kValueChars characters
    std::array<char, kTailChars> m_tail{}; // its last characters, for key texts across pieces
    std::size_t m_tailSize = 0;
};

} // namespace

fw::Secret KeyToHex(const keys::KeyBytes& key) {
    fw::Secret hex;
    const std::size_t bytes = key.Size() > kKeyHexBytes ? key.Size() : kKeyHexBytes;
    hex.Reserve(2 * bytes);
    for (std::size_t i = 0; i < bytes; ++i) {
        const auto byte = i < key.Size() ? static_cast<unsigned char>(key.Data()[i]) : 0u;
        hex.Append(kHexDigits[byte >> 4]);
        hex.Append(kHexDigits[byte & 0x0F]);
    }
    return hex;
}

unsigned char HexPairToByte(char high, char low) {
    return static_cast<unsigned char>(((DigitValue(high) << 4) & 0xFF) | DigitValue(low));
}

keys::KeyBytes HexToKey(std::string_view value) {
    fw::Secret bytes;
    const std::size_t count = std::min(value.size() / 2, kMaxDecodedKeyBytes);
    bytes.Reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        bytes.Append(static_cast<char>(HexPairToByte(value[2 * i], value[2 * i + 1])));
    }
    return keys::KeyBytes(bytes.Get()); // cut at the first zero byte
}

bool WriteCertificateHead(ByteSink& file, std::string_view userId, const keys::KeyBytes& userKey) {
    const std::string head = "[Lockwell]\r\nVersion = 2.0\r\nUser = " + std::string(userId) +
                             "\r\n\r\n[Keys]\r\nUserKey = ";
    return Write(file, head) && Write(file, KeyToHex(userKey).Get()) && Write(file, "\r\n");
}

bool WriteCookieKeyLine(ByteSink& file, const keys::KeyBytes& cookieKey) {
    return Write(file, "CookieKey = ") && Write(file, KeyToHex(cookieKey).Get());
}

std::optional<CertificateFileContent> ReadCertificateFile(ByteSource& file) {
    fw::Secret chunk; // the file's bytes hold the keys
    chunk.Resize(kChunkBytes);
    LineReader reader;
    for (;;) {
        std::size_t got = 0;
        if (!file.Read(chunk.Buffer(), chunk.Size(), got)) {
            return std::nullopt;
        }
        if (got == 0) {
            break;
        }
        got = std::min(got, chunk.Size());
        if (const void* stop = std::memchr(chunk.Data(), kEndOfData, got)) {
            reader.Take(chunk.Data(),
                        static_cast<std::size_t>(static_cast<const char*>(stop) - chunk.Data()));
            break;
        }
        reader.Take(chunk.Data(), got);
    }
    return reader.Finish();
}

ImportVerdict JudgeImport(const CertificateFileContent& content) {
    if (content.recognisedLines < 3) {
        return ImportVerdict::TooFewLines;
    }
    if (!content.hasUserKeyLine) {
        return ImportVerdict::NoUserKeyLine;
    }
    if (!content.hasCookieKeyLine) {
        return ImportVerdict::NoCookieKeyLine;
    }
    if (content.userIdTooLong) {
        return ImportVerdict::UserIdTooLong;
    }
    if (HasControlCharacters(content.userId)) {
        return ImportVerdict::UserIdControlCharacters;
    }
    return ImportVerdict::Storable;
}

bool HasControlCharacters(std::string_view userId) {
    for (char c : userId) {
        if (IsControlCharacter(static_cast<unsigned char>(c))) {
            return true;
        }
    }
    return false;
}

} // namespace exchange
