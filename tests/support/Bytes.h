// Bytes as the tests write them down: lowercase hex, two digits a byte.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace testing_support {

inline std::string Hex(std::string_view bytes) {
    static const char digits[] = "0123456789abcdef";
    std::string hex;
    for (char c : bytes) {
        auto byte = static_cast<unsigned char>(c);
        hex += digits[byte >> 4];
        hex += digits[byte & 0xF];
    }
    return hex;
}

inline std::string FromHex(const std::string& hex) {
    std::string bytes;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
        bytes += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
    }
    return bytes;
}

} // namespace testing_support
