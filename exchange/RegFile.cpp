#include "RegFile.h"

#include "framework/Exceptions.h"

#include <algorithm>
#include <cstdint>

namespace exchange {
namespace {

constexpr char kHexDigits[] = "0123456789abcdef";
constexpr char kLineEnd[] = "\r\n";
// The double-byte code pages' second bytes start here, above the quote and the controls.
constexpr unsigned char kLowestSecondByte = 0x40;

// Appends the value's line, with its line end.
void AppendValueLine(fw::Secret& text, const std::string& userId, const keys::KeyBytes& key,
                     LeadBytePredicate isLeadByte) {
    if (userId.empty()) {
        text.Append('@');
    } else {
        text.Append('"');
        for (std::size_t i = 0; i < userId.size(); ++i) {
            const char c = userId[i];
            if (isLeadByte != nullptr && isLeadByte(static_cast<unsigned char>(c))) {
                // The character's second byte is never an escape.
                text.Append(std::string_view(userId).substr(i++, 2));
                continue;
            }
            if (c == '\\' || c == '"') {
                text.Append('\\');
            }
            text.Append(c);
        }
        text.Append('"');
    }
    text.Append("=hex:");
    bool first = true;
    for (char c : key.Bytes()) {
        const auto byte = static_cast<unsigned char>(c);
        if (!first) {
            text.Append(',');
        }
        first = false;
        text.Append(kHexDigits[byte >> 4]);
        text.Append(kHexDigits[byte & 0x0F]);
    }
    text.Append(kLineEnd);
}

// Appends `text` in UTF-16LE; `text` is ASCII or UTF-16 units.
template <class Text> void AppendUtf16(fw::Secret& bytes, const Text& text) {
    for (auto unit : text) {
        const auto code = static_cast<std::uint16_t>(static_cast<char16_t>(unit));
        bytes.Append(static_cast<char>(code & 0xFF));
        bytes.Append(static_cast<char>(code >> 8));
    }
}

void AppendKeyUtf16(fw::Secret& bytes, std::string_view path,
                    const std::vector<RegValue16>& values) {
    AppendUtf16(bytes, std::string_view("\r\n[HKEY_LOCAL_MACHINE\\"));
    AppendUtf16(bytes, path);
    AppendUtf16(bytes, std::string_view("]\r\n"));
    for (const RegValue16& value : values) {
        std::u16string line;
        if (value.name.empty()) {
            line = u"@";
        } else {
            line = u"\"";
            for (char16_t c : value.name) {
                if (c == u'\\' || c == u'"') {
                    line += u'\\';
                }
                line += c;
            }
            line += u'"';
        }
        line += u"=hex:";
        bool first = true;
        for (char c : value.data.Get()) {
            const auto byte = static_cast<unsigned char>(c);
            if (!first) {
                line += u',';
            }
            first = false;
            line += static_cast<char16_t>(kHexDigits[byte >> 4]);
            line += static_cast<char16_t>(kHexDigits[byte & 0x0F]);
        }
        line += u"\r\n";
        AppendUtf16(bytes, line);
        std::fill(line.begin(), line.end(), u'\0');
    }
}

} // namespace

bool IsRegValueName16(std::u16string_view name) {
    return name.find_first_of(std::u16string_view(u"\r\n\0", 3)) == std::u16string_view::npos;
}

fw::Secret MakeUnicodeRegFile(const std::vector<RegValue16>& users,
                              const std::vector<RegValue16>& cookies) {
    for (const auto* values : {&users, &cookies}) {
        for (const RegValue16& value : *values) {
            if (!IsRegValueName16(value.name)) {
                throw fw::CFrameworkException(
                    "A name with a line break or a zero character cannot be written to a "
                    "registry file.");
            }
        }
    }
    fw::Secret bytes;
    bytes.Append("\xFF\xFE");
    AppendUtf16(bytes, std::string_view("Windows Registry Editor Version 5.00\r\n"));
    AppendKeyUtf16(bytes, "SOFTWARE\\Lockwell\\Users_lkw_20", users);
    AppendKeyUtf16(bytes, "SOFTWARE\\Lockwell\\Cookies_lkw_20", cookies);
    AppendUtf16(bytes, std::string_view("\r\n"));
    return bytes;
}

bool IsRegValueName(std::string_view userId, LeadBytePredicate isLeadByte) {
    if (userId.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos) {
        return false;
    }
    for (std::size_t i = 0; isLeadByte != nullptr && i < userId.size(); ++i) {
        // A first byte needs a second one: alone, or before a quote or a control character, it
        // would swallow what follows it, the closing quote included.
        if (isLeadByte(static_cast<unsigned char>(userId[i])) &&
            (++i == userId.size() || static_cast<unsigned char>(userId[i]) < kLowestSecondByte)) {
            return false;
        }
    }
    return true;
}

fw::Secret MakeRegFile(const std::vector<RegCertificate>& certificates,
                       LeadBytePredicate isLeadByte) {
    for (const RegCertificate& certificate : certificates) {
        if (!IsRegValueName(certificate.userId, isLeadByte)) {
            throw fw::CFrameworkException("A user ID with a line break, a zero byte or a broken "
                                          "double-byte character cannot be written to a registry "
                                          "file.");
        }
    }
    fw::Secret text;
    text.Append("Windows Registry Editor Version 5.00\r\n\r\n"
                "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Lockwell\\Users_lkw_20]\r\n");
    for (const RegCertificate& certificate : certificates) {
        AppendValueLine(text, certificate.userId, certificate.userKey, isLeadByte);
    }
    text.Append("\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Lockwell\\Cookies_lkw_20]\r\n");
    for (const RegCertificate& certificate : certificates) {
        AppendValueLine(text, certificate.userId, certificate.cookieKey, isLeadByte);
    }
    return text;
}

} // namespace exchange
