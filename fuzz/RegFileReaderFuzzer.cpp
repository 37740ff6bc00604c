// libFuzzer target: the backup's registry file reader on any bytes (text without a byte order
// mark read as Latin-1). It must never fail on them; what it accepts must hold only what a store
// can (names of up to 127 characters without control characters, keys of 1 to 127 nonzero
// bytes or none, no name twice), and the file that MakeUnicodeRegFile writes of it must read
// back as the same certificates.
#include "Latin1Text.h"
#include "exchange/CertificateFile.h"
#include "exchange/RegFile.h"
#include "exchange/RegFileReader.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace {

using exchange::RegFileReading;
using exchange::RegFileStatus;

void Check(bool holds, const char* what) {
    if (!holds) {
        std::fprintf(stderr, "check failed: %s\n", what);
        std::abort();
    }
}

bool StorableKey(std::string_view key) {
    return key.size() <= exchange::kMaxDecodedKeyBytes && key.find('\0') == std::string_view::npos;
}

bool StorableName(std::u16string_view name) {
    for (char16_t c : name) {
        if (c < 0x20 || c == 0x7F) {
            return false;
        }
    }
    return name.size() <= exchange::kMaxUserIdChars;
}

// The name with ASCII letters in upper case: names that differ only there are one value name.
std::u16string AsciiUpperCase(std::u16string name) {
    for (char16_t& c : name) {
        c = c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - 32) : c;
    }
    return name;
}

void CheckStorable(const RegFileReading& reading) {
    std::set<std::u16string> names;
    for (const auto& certificate : reading.certificates) {
        Check(StorableName(certificate.name), "each name can be stored");
        Check(StorableKey(certificate.userKey.Get()) && StorableKey(certificate.cookieKey.Get()),
              "each key can be stored");
        Check(names.insert(AsciiUpperCase(certificate.name)).second,
              "no name comes twice, letter case aside");
    }
}

// The certificates written by MakeUnicodeRegFile and read back are the same.
void CheckReadsBack(const RegFileReading& reading) {
    std::vector<exchange::RegValue16> users;
    std::vector<exchange::RegValue16> cookies;
    for (const auto& certificate : reading.certificates) {
        users.push_back({certificate.name, certificate.userKey});
        cookies.push_back({certificate.name, certificate.cookieKey});
    }
    const fw::Secret file = exchange::MakeUnicodeRegFile(users, cookies);
    const RegFileReading again = exchange::ReadStoreRegFile(file.Get());
    Check(again.status == RegFileStatus::Read, "the written file is read");
    Check(again.certificates.size() == reading.certificates.size(), "as many certificates");
    for (std::size_t i = 0; i < again.certificates.size(); ++i) {
        const auto& was = reading.certificates[i];
        const auto& is = again.certificates[i];
        Check(is.name == was.name && is.userKey == was.userKey && is.cookieKey == was.cookieKey,
              "the same certificate, in the same place");
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const RegFileReading reading = exchange::ReadStoreRegFile(bytes, Latin1Text);
    if (reading.status != RegFileStatus::Read) {
        Check(reading.certificates.empty(), "a refused file yields no certificate");
        const std::string line = "Line " + std::to_string(reading.line) + ": ";
        Check(reading.status == RegFileStatus::Encoding || reading.line != 0,
              "a refusal names the line");
        Check(reading.status == RegFileStatus::Encoding ? !reading.reason.empty()
                                                        : reading.reason.rfind(line, 0) == 0,
              "a refusal says why, from the line's number");
        return 0;
    }
    CheckStorable(reading);
    CheckReadsBack(reading);
    return 0;
}
