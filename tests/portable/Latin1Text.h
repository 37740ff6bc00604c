// Text without a byte order mark read as Latin-1 (code page 28591): each byte is the character
// of its number. The tests' and the fuzzer's stand-in for the ANSI code page's conversion.
#pragma once

#include "exchange/RegFileReader.h"

#include <string_view>

inline exchange::Secret16 Latin1Text(std::string_view bytes) {
    exchange::Secret16 text;
    text.Reserve(bytes.size());
    for (char c : bytes) {
        text.Append(static_cast<char16_t>(static_cast<unsigned char>(c)));
    }
    return text;
}
