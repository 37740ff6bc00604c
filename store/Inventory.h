// What the store holds, every value of both keys, as an inventory reports it: also what the
// window's list cannot show (names of 128 characters or more, values of other types or sizes,
// CookieKeys without their UserKey). Sizes and types only: never a key byte.
#pragma once

#include "exchange/RegFile.h"
#include "framework/Reporter.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace store {

// One value of the store as the inventory sees it.
struct InventoryValue {
    std::uint32_t type = 0;  // REG_BINARY for a certificate's key
    std::uint32_t bytes = 0; // the data's size as stored
};

// A certificate as the inventory finds it: the Users and the Cookies value of one name, paired
// without regard to letter case, as the registry pairs them.
struct InventoryEntry {
    std::wstring name; // as the Users key holds it, else as the Cookies key does
    std::optional<InventoryValue> userKey;
    std::optional<InventoryValue> cookieKey;

    // The problems found, by their stable codes, in this order: "no-cookie-key", "no-user-key",
    // "not-binary", "name-too-long", "key-too-long", "control-characters".
    std::vector<const char*> Problems() const;
};

// Every value of the Users key in its enumeration order, each with the Cookies value of its name,
// then the Cookies values that have no Users value, in the Cookies key's order. An exception is
// reported through `reporter`, and so is a key that exists but cannot be read (`complete` false):
// an inventory never leaves out what it could not read without saying so.
std::vector<InventoryEntry> TakeInventory(fw::IReporter& reporter, bool& complete);

// The REG_BINARY values of the store's key `keyPath` (kUsersKey or kCookiesKey), named exactly as
// the registry holds them, with their data, in enumeration order: what a backup holds. False when
// the key exists but cannot be read whole; a missing key has no values.
bool ReadBinaryValues(const char* keyPath, std::vector<exchange::RegValue16>& values);

} // namespace store
