// The two key derivations that the whole product shares, to the byte: the UserKey from a user ID
// and a password, the CookieKey from the time a certificate is created. MD5 comes from the
// platform's cryptography (CNG).
#pragma once

#include "KeyBytes.h"

#include <string>

namespace keys {

// MD5 (RFC 1321) of `size` bytes at `data`. Throws a framework exception if the platform's MD5
// cannot be used.
Digest Md5(const void* data, std::size_t size);

// The UserKey: MD5 of user ID, first and second password run together, cut before the digest's
// first zero byte. Callers pass the password twice (or a password and its retyped copy). Throws a
// framework exception when the three exceed 511 bytes together.
KeyBytes DeriveUserKey(std::string_view userId, std::string_view first, std::string_view second);

// The CookieKey: MD5 of the current UTC time as a 16-byte SYSTEMTIME record, cut the same way.
// The time is read through the clock seam.
KeyBytes DeriveCookieKey();

} // namespace keys
