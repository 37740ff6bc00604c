// The certificate file (".crt"): one certificate as text, written and read to the byte so that
// files move between machines and between the product's programs. Portable: no Windows headers,
// so it also builds natively, where the sanitizers and the fuzzer run.
//
// Layout as written (every line but the last ends with CR LF; nothing follows the last digit):
//     [Lockwell]
//     Version = 2.0
//     User = <user ID, byte for byte>
//     <empty line>
//     [Keys]
//     UserKey = <32 lowercase hex digits>
//     CookieKey = <32 lowercase hex digits>
#pragma once

#include "framework/Secret.h"
#include "keys/KeyBytes.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace exchange {

// Where the writer puts its bytes (the caller opens and closes the file).
class ByteSink {
  public:
    // Writes all `size` bytes; false when the write failed.
    virtual bool Write(const char* data, std::size_t size) = 0;

  protected:
    ~ByteSink() = default;
};

// Where the reader takes its bytes from, from the start (the caller opens and closes the file).
class ByteSource {
  public:
    // Reads up to `capacity` bytes into `buffer` and sets `got` to their number, 0 at the end of
    // the data. Returns false when the read failed.
    virtual bool Read(char* buffer, std::size_t capacity, std::size_t& got) = 0;

  protected:
    ~ByteSource() = default;
};

// Longest user ID that the store's list, the User ID field and the delete command can handle.
constexpr std::size_t kMaxUserIdChars = 127;
// Most bytes that one key value decodes to; its characters after the first 254 are ignored.
constexpr std::size_t kMaxDecodedKeyBytes = 127;

// The key as lowercase hex digits: 32 of them for a key of up to 16 bytes (padded with "00"
// pairs), two for each byte of a longer key (one that an import stored), so that the file gives
// back exactly the key.
fw::Secret KeyToHex(const keys::KeyBytes& key);

// One byte from two hex digits (either case). A character that is not a hex digit counts as
// 0xFF: an invalid low digit gives 0xFF, an invalid high digit with a valid low digit d gives
// 0xF0 + d. Never zero unless both are "0".
unsigned char HexPairToByte(char high, char low);

// The key that a value stands for: pairs of characters decoded from the start, a lone last
// character ignored, at most kMaxDecodedKeyBytes bytes, cut at the first zero byte (a "00" pair).
keys::KeyBytes HexToKey(std::string_view value);

// Lines 1 to 6, each with its CR LF. False when a write failed (the writing stops there).
bool WriteCertificateHead(ByteSink& file, std::string_view userId, const keys::KeyBytes& userKey);
// Line 7, without a line end. False when the write failed.
bool WriteCookieKeyLine(ByteSink& file, const keys::KeyBytes& cookieKey);

// What a certificate file yields. A later line of a kind replaces an earlier one.
struct CertificateFileContent {
    // The last "User = " line's value, kept only up to kMaxUserIdChars characters; longer ones
    // are known as too long and not kept.
    std::string userId;
    bool userIdTooLong = false;
    keys::KeyBytes userKey;   // the last "UserKey = " line's value, decoded
    keys::KeyBytes cookieKey; // the last "CookieKey = " line's value, decoded
    bool hasUserKeyLine = false;
    bool hasCookieKeyLine = false;
    // Lines that matched one of the four key texts, repeats included.
    std::uint64_t recognisedLines = 0;
};

// Reads the file from its start to its end, or to its first Ctrl-Z byte (0x1A), where the data
// ends and reading stops; in bounded memory, whatever its size or content. Nothing when a read
// failed.
std::optional<CertificateFileContent> ReadCertificateFile(ByteSource& file);

// Whether a character (a byte, or a UTF-16 unit) is a control character: below 0x20, or 0x7F.
constexpr bool IsControlCharacter(unsigned code) {
    return code < 0x20 || code == 0x7F;
}

// Whether `userId` holds a control character: no new certificate may be given such a name,
// which would rewrite the lines that show it.
bool HasControlCharacters(std::string_view userId);

// Whether an import may store what a file yielded, or why not.
enum class ImportVerdict {
    Storable,
    TooFewLines,             // fewer than 3 recognised lines
    NoUserKeyLine,           // a missing key line would store an empty key over a stored one
    NoCookieKeyLine,         //
    UserIdTooLong,           // such a certificate could never be listed, selected or deleted
    UserIdControlCharacters, // a line break in a name would rewrite a console line or forge a
                             // log entry
};
ImportVerdict JudgeImport(const CertificateFileContent& content);

} // namespace exchange
