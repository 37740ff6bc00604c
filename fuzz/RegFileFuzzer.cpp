// libFuzzer target: the registry file writer on certificates with user IDs of any bytes, as
// certificate files made elsewhere may hold them. The writer must refuse exactly the user IDs
// that are no value names, and otherwise write a file that a plain reading, as the registry
// importer reads it, gives back as the same certificates, line for line.
//
// Input: one byte that chooses the code page (none, Shift-JIS, or the lead bytes that the
// Chinese and Korean code pages share), then for each certificate its user ID, UserKey and
// CookieKey, each a length byte and that many bytes (fewer where the input ends).
#include "exchange/RegFile.h"
#include "framework/Exceptions.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

namespace {

using exchange::LeadBytePredicate;
using exchange::RegCertificate;

constexpr std::size_t kMaxCertificates = 8;
constexpr unsigned char kLowestSecondByte = 0x40;
constexpr std::string_view kHeader = "Windows Registry Editor Version 5.00";
// The two keys, each with the certificate's member that its values hold.
const struct {
    std::string_view line;
    keys::KeyBytes RegCertificate::*key;
} kKeys[] = {
    {"[HKEY_LOCAL_MACHINE\\SOFTWARE\\Lockwell\\Users_lkw_20]", &RegCertificate::userKey},
    {"[HKEY_LOCAL_MACHINE\\SOFTWARE\\Lockwell\\Cookies_lkw_20]", &RegCertificate::cookieKey},
};

void Check(bool holds, const char* what) {
    if (!holds) {
        std::fprintf(stderr, "check failed: %s\n", what);
        std::abort();
    }
}

bool ShiftJisLeadByte(unsigned char byte) {
    return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}

// Code pages 936, 949 and 950 (GBK, Unified Hangul, Big5).
bool WideLeadByte(unsigned char byte) {
    return byte >= 0x81 && byte <= 0xFE;
}

constexpr LeadBytePredicate kCodePages[] = {nullptr, ShiftJisLeadByte, WideLeadByte};

// The registry file's text. The one place that knows what MakeRegFile returns.
std::string RegFileText(const std::vector<RegCertificate>& certificates,
                        LeadBytePredicate isLeadByte) {
    const auto file = exchange::MakeRegFile(certificates, isLeadByte);
    return std::string(file.Data(), file.Size());
}

// The next field of the input: a length byte, then up to that many bytes.
std::string_view TakeField(std::string_view& input) {
    const std::size_t length = input.empty() ? 0 : static_cast<unsigned char>(input[0]);
    input.remove_prefix(std::min<std::size_t>(1, input.size()));
    const std::string_view field = input.substr(0, length);
    input.remove_prefix(field.size());
    return field;
}

// How many bytes the character at `at` has, as the importer reads the text in its code page: 2
// for a lead byte with a second byte of 0x40 or above, 0 for a lead byte without one (what the
// importer makes of it depends on the code page), else 1.
std::size_t CharLength(std::string_view text, std::size_t at, LeadBytePredicate isLeadByte) {
    if (isLeadByte == nullptr || !isLeadByte(static_cast<unsigned char>(text[at]))) {
        return 1;
    }
    return at + 1 < text.size() && static_cast<unsigned char>(text[at + 1]) >= kLowestSecondByte
               ? 2
               : 0;
}

// A value name has whole characters, no line break and no zero byte.
bool ReferenceIsValueName(std::string_view userId, LeadBytePredicate isLeadByte) {
    for (std::size_t i = 0, length = 0; i < userId.size(); i += length) {
        length = CharLength(userId, i, isLeadByte);
        if (length == 0 || userId[i] == '\r' || userId[i] == '\n' || userId[i] == '\0') {
            return false;
        }
    }
    return true;
}

// The text's lines without their CR LF, read by characters: the second byte of a character never
// ends a line.
std::vector<std::string_view> ReadLines(std::string_view text, LeadBytePredicate isLeadByte) {
    Check(text.find('\0') == std::string_view::npos, "no zero byte cuts a line short");
    std::vector<std::string_view> lines;
    std::size_t start = 0;
    for (std::size_t i = 0, length = 0; i < text.size(); i += length) {
        length = CharLength(text, i, isLeadByte);
        Check(length != 0, "every character of the text is whole");
        if (text[i] == '\r' || text[i] == '\n') {
            Check(text.substr(i, 2) == "\r\n", "lines end with CR LF");
            lines.push_back(text.substr(start, i - start));
            start = i + 2;
            length = 2;
        }
    }
    Check(start == text.size(), "the last line ends with CR LF");
    return lines;
}

struct RegValue {
    std::string name;
    std::string data;
};

// "name"=hex:aa,bb or @=hex:, as the importer reads it.
RegValue ReadValue(std::string_view line, LeadBytePredicate isLeadByte) {
    RegValue value;
    std::size_t i = 1;
    if (line[0] != '@') {
        Check(line[0] == '"', "a value line starts with @ or a quote");
        for (std::size_t length = 0;; i += length) {
            Check(i < line.size(), "the value name ends with a quote");
            length = CharLength(line, i, isLeadByte);
            if (line[i] == '"' && length == 1) {
                ++i;
                break;
            }
            if (line[i] == '\\' && length == 1) {
                Check(i + 1 < line.size() && (line[i + 1] == '\\' || line[i + 1] == '"'),
                      "a backslash in a value name escapes a backslash or a quote");
                ++i;
            }
            value.name.append(line, i, length);
        }
        Check(!value.name.empty(), "the unnamed value is written @");
    }
    line.remove_prefix(i);
    Check(line.substr(0, 5) == "=hex:", "the value is hex:");
    line.remove_prefix(5);
    constexpr std::string_view kDigits = "0123456789abcdef";
    for (std::size_t at = 0; at < line.size(); at += 3) {
        Check(at == 0 || line[at - 1] == ',', "the bytes are comma-separated");
        Check(at + 2 <= line.size() && kDigits.find(line[at]) != std::string_view::npos &&
                  kDigits.find(line[at + 1]) != std::string_view::npos,
              "each byte is two lowercase hex digits");
        value.data += static_cast<char>((kDigits.find(line[at]) << 4) | kDigits.find(line[at + 1]));
    }
    return value;
}

// Reads the text as the importer does and checks that it holds exactly these certificates.
void CheckReadsBack(std::string_view text, const std::vector<RegCertificate>& certificates,
                    LeadBytePredicate isLeadByte) {
    const std::vector<std::string_view> lines = ReadLines(text, isLeadByte);
    Check(!lines.empty() && lines[0] == kHeader, "the first line is the header");
    std::vector<RegValue> values[std::size(kKeys)];
    bool seen[std::size(kKeys)] = {};
    std::vector<RegValue>* current = nullptr;
    for (std::size_t n = 1; n < lines.size(); ++n) {
        const auto key = std::find_if(std::begin(kKeys), std::end(kKeys),
                                      [&](const auto& k) { return k.line == lines[n]; });
        if (key != std::end(kKeys)) {
            const std::size_t k = static_cast<std::size_t>(key - std::begin(kKeys));
            Check(!seen[k], "each key line comes once");
            seen[k] = true;
            current = &values[k];
        } else if (!lines[n].empty()) {
            Check(current != nullptr, "value lines follow a key line");
            current->push_back(ReadValue(lines[n], isLeadByte));
        }
    }
    for (std::size_t k = 0; k < std::size(kKeys); ++k) {
        Check(seen[k], "both key lines are there");
        Check(values[k].size() == certificates.size(), "each key has a line per certificate");
        for (std::size_t i = 0; i < certificates.size(); ++i) {
            Check(values[k][i].name == certificates[i].userId, "the value name is the user ID");
            Check(values[k][i].data == (certificates[i].*kKeys[k].key).Bytes(),
                  "the value is the key's bytes");
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view input(reinterpret_cast<const char*>(data), size);
    if (input.empty()) {
        return 0;
    }
    const LeadBytePredicate isLeadByte =
        kCodePages[static_cast<unsigned char>(input[0]) % std::size(kCodePages)];
    input.remove_prefix(1);
    std::vector<RegCertificate> certificates;
    while (!input.empty() && certificates.size() < kMaxCertificates) {
        RegCertificate certificate;
        certificate.userId = TakeField(input);
        certificate.userKey = keys::KeyBytes(TakeField(input));
        certificate.cookieKey = keys::KeyBytes(TakeField(input));
        certificates.push_back(std::move(certificate));
    }

    bool refused = false;
    for (const RegCertificate& certificate : certificates) {
        const bool valueName = exchange::IsRegValueName(certificate.userId, isLeadByte);
        Check(valueName == ReferenceIsValueName(certificate.userId, isLeadByte),
              "IsRegValueName refuses exactly broken characters, line breaks and zero bytes");
        refused = refused || !valueName;
    }
    std::string text;
    bool threw = false;
    try {
        text = RegFileText(certificates, isLeadByte);
    } catch (const fw::CFrameworkException&) {
        threw = true;
    }
    Check(threw == refused, "MakeRegFile throws exactly when a user ID is no value name");
    if (!threw) {
        CheckReadsBack(text, certificates, isLeadByte);
    }
    return 0;
}
