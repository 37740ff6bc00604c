#include "RegFile.h"

#include "framework/Exceptions.h"

namespace exchange {
namespace {

constexpr char kHexDigits[] = "0123456789abcdef";
constexpr char kLineEnd[] = "\r\n";

// The value's line, with its line end.
std::string ValueLine(const std::string& userId, const keys::KeyBytes& key) {
    std::string line;
    if (userId.empty()) {
        line = "@";
    } else {
        line = "\"";
        for (char c : userId) {
            if (c == '\\' || c == '"') {
                line += '\\';
            }
            line += c;
        }
        line += '"';
    }
    line += "=hex:";
    for (char c : key.Bytes()) {
        const auto byte = static_cast<unsigned char>(c);
        if (line.back() != ':') {
            line += ',';
        }
        line += kHexDigits[byte >> 4];
        line += kHexDigits[byte & 0x0F];
    }
    return line + kLineEnd;
}

} // namespace

bool IsRegValueName(std::string_view userId) {
    return userId.find_first_of(std::string_view("\r\n\0", 3)) == std::string_view::npos;
}

std::string MakeRegFile(const std::vector<RegCertificate>& certificates) {
    for (const RegCertificate& certificate : certificates) {
        if (!IsRegValueName(certificate.userId)) {
            throw fw::CFrameworkException("A user ID with a line break or a zero byte cannot be "
                                          "written to a registry file.");
        }
    }
    std::string text = std::string("Windows Registry Editor Version 5.00") + kLineEnd + kLineEnd +
                       "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Lockwell\\Users_lkw_20]" + kLineEnd;
    for (const RegCertificate& certificate : certificates) {
        text += ValueLine(certificate.userId, certificate.userKey);
    }
    text += std::string(kLineEnd) + "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Lockwell\\Cookies_lkw_20]" +
            kLineEnd;
    for (const RegCertificate& certificate : certificates) {
        text += ValueLine(certificate.userId, certificate.cookieKey);
    }
    return text;
}

} // namespace exchange
