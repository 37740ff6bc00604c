// Certificate files and stores, and what the export and the import make of them: the same cases
// for the window program's commands and the console program's.
#pragma once

#include "NamedCase.h"

#include <string>
#include <vector>

namespace exchange_cases {

// What the window program says when there is no certificate to export.
inline const char kSelectUserId[] = "You must select a user ID\nfrom the listbox before\n"
                                    "you can use the export\nfunction.";
inline const std::string k16Bytes =
    "\x01\x02\x03\x04\x05\x06\x07\x08\x09\x0a\x0b\x0c\x0d\x0e\x0f\x10";
inline const std::string kCookie = "\x33\x44\x55";
inline const std::string kHead = "[Lockwell]\r\nVersion = 2.0\r\nUser = alice\r\n\r\n[Keys]\r\n"
                                 "UserKey = 0102030405060708090a0b0c0d0e0f10\r\n";
inline const std::string kFullFile = kHead + "CookieKey = 33445500000000000000000000000000";
// A file that does not exist.
inline const char kAbsent[] = "<absent>";
// What a file the user chose held before the export: a failed export must leave it so.
inline const char kPrecious[] = "a file the user keeps";
// What is said of a certificate that another program deleted meanwhile.
inline const char kGone[] = "gone";
// The longest keys that a certificate file carries, and the file that carries them.
inline const std::string kLongest(127, '\x5c');
inline std::string HexOf(const std::string& bytes) {
    static const char digits[] = "0123456789abcdef";
    std::string hex;
    for (char c : bytes) {
        hex += digits[static_cast<unsigned char>(c) >> 4];
        hex += digits[static_cast<unsigned char>(c) & 0xF];
    }
    return hex;
}
inline const std::string kLongestFile =
    "[Lockwell]\r\nVersion = 2.0\r\nUser = alice\r\n\r\n[Keys]\r\nUserKey = " + HexOf(kLongest) +
    "\r\nCookieKey = " + HexOf(kLongest);

struct ExportCase : testing_support::NamedCase {
    const char* userKey;   // the Users value, nullptr: none
    const char* cookieKey; // the Cookies value, nullptr: none
    // What the user picks: "chosen", "cancel", "no-folder", "full", "held"; "vanish": the chosen
    // file, and another program deletes the certificate before it is written
    const char* target;
    std::string file;    // what the chosen file holds afterwards
    const char* message; // kSelectUserId, kGone, "created", "written" (a failure), or nullptr
    const char* existing = nullptr; // what the chosen file holds before, nullptr: no file
};

inline const std::vector<ExportCase>& ExportCases() {
    static const std::vector<ExportCase> cases = {
        ExportCase{{"Exported"}, k16Bytes.c_str(), kCookie.c_str(), "chosen", kFullFile, nullptr},
        // A derived key is empty when its digest starts with a zero byte.
        ExportCase{{"EmptyUserKey"},
                   "",
                   kCookie.c_str(),
                   "chosen",
                   "[Lockwell]\r\nVersion = 2.0\r\nUser = alice\r\n\r\n[Keys]\r\nUserKey = "
                   "00000000000000000000000000000000\r\nCookieKey = "
                   "33445500000000000000000000000000",
                   nullptr},
        ExportCase{{"Cancelled"}, k16Bytes.c_str(), kCookie.c_str(), "cancel", kAbsent, nullptr},
        // A failed export leaves no file, and an existing one as it was.
        ExportCase{{"NoCookiesValue"}, k16Bytes.c_str(), nullptr, "chosen", kAbsent, kSelectUserId},
        ExportCase{{"NoCookiesValueOverAFile"},
                   k16Bytes.c_str(),
                   nullptr,
                   "chosen",
                   kPrecious,
                   kSelectUserId,
                   kPrecious},
        ExportCase{{"UsersValueOver127Bytes"},
                   "\x01\x02\x03\x04\x05\x06\x07\x08\x09\x0a\x0b\x0c\x0d\x0e\x0f\x10"
                   "\x01\x02\x03\x04\x05\x06\x07\x08\x09\x0a\x0b\x0c\x0d\x0e\x0f\x10"
                   "\x01\x02\x03\x04\x05\x06\x07\x08\x09\x0a\x0b\x0c\x0d\x0e\x0f\x10"
                   "\x01\x02\x03\x04\x05\x06\x07\x08\x09\x0a\x0b\x0c\x0d\x0e\x0f\x10"
                   "\x01\x02\x03\x04\x05\x06\x07\x08\x09\x0a\x0b\x0c\x0d\x0e\x0f\x10"
                   "\x01\x02\x03\x04\x05\x06\x07\x08\x09\x0a\x0b\x0c\x0d\x0e\x0f\x10"
                   "\x01\x02\x03\x04\x05\x06\x07\x08\x09\x0a\x0b\x0c\x0d\x0e\x0f\x10"
                   "\x01\x02\x03\x04\x05\x06\x07\x08\x09\x0a\x0b\x0c\x0d\x0e\x0f\x10",
                   kCookie.c_str(),
                   "chosen",
                   kPrecious,
                   kSelectUserId,
                   kPrecious},
        // What an import can store exports again, to the byte.
        ExportCase{
            {"LongestKeys"}, kLongest.c_str(), kLongest.c_str(), "chosen", kLongestFile, nullptr},
        ExportCase{{"Vanished"}, k16Bytes.c_str(), kCookie.c_str(), "vanish", kAbsent, kGone},
        ExportCase{{"VanishedOverAFile"},
                   k16Bytes.c_str(),
                   kCookie.c_str(),
                   "vanish",
                   kPrecious,
                   kGone,
                   kPrecious},
        ExportCase{
            {"FolderMissing"}, k16Bytes.c_str(), kCookie.c_str(), "no-folder", kAbsent, "created"},
        ExportCase{{"DiskFull"}, k16Bytes.c_str(), kCookie.c_str(), "full", kAbsent, "written"},
        ExportCase{{"HeldByAnotherProgram"},
                   k16Bytes.c_str(),
                   kCookie.c_str(),
                   "held",
                   "held",
                   "created"}};
    return cases;
}

struct ImportCase : testing_support::NamedCase {
    const char* file;              // the chosen file's bytes, nullptr: the file does not exist
    const char* userId;            // the user ID stored, nullptr: nothing stored
    const char* userKey;           // the Users value stored
    const char* cookieKey;         // the Cookies value stored
    const char* refusal = nullptr; // for a file stored nothing from: what both programs say of it
    // Whether the import asks first: the store holds another CookieKey under the user ID.
    bool asks = false;
};

inline const std::string k128Chars(128, 'u');
inline const std::string kLongUserFile = "User = " + k128Chars + "\nUserKey = 01\nCookieKey = 02";

inline const std::vector<ImportCase>& ImportCases() {
    static const std::vector<ImportCase> cases = {
        ImportCase{
            {"WrittenByExport"}, kFullFile.c_str(), "alice", k16Bytes.c_str(), kCookie.c_str()},
        ImportCase{{"NoHeaders"},
                   "Version = 2.0\nUser = alice\nUserKey = 41\nCookieKey = 42",
                   "alice",
                   "A",
                   "B"},
        ImportCase{
            {"NoVersionLine"}, "User = alice\r\nUserKey = 41\r\nCookieKey = 42", "alice", "A", "B"},
        // Stored under the unnamed values.
        ImportCase{{"NoUserLine"}, "Version = 2.0\nUserKey = 41\nCookieKey = 42", "", "A", "B"},
        // A key line that decodes to nothing still stores the empty key.
        ImportCase{{"EmptyKeyValue"}, "User = alice\nUserKey = \nCookieKey = 42", "alice", "", "B"},
        // Both keys replaced, whatever the spelling, once the user agreed.
        ImportCase{{"ExistingUserId"},
                   "User = BOB\nUserKey = 41\nCookieKey = 42",
                   "bob",
                   "A",
                   "B",
                   nullptr,
                   true},
        ImportCase{{"TwoLines"},
                   "User = alice\nUserKey = 41",
                   nullptr,
                   nullptr,
                   nullptr,
                   "fewer than three"},
        // Would store an empty CookieKey over the one a certificate may have.
        ImportCase{{"NoCookieKeyLine"},
                   "Version = 2.0\nUser = alice\nUserKey = 41",
                   nullptr,
                   nullptr,
                   nullptr,
                   "no \"CookieKey\" line"},
        ImportCase{{"NoUserKeyLine"},
                   "Version = 2.0\nUser = alice\nCookieKey = 42",
                   nullptr,
                   nullptr,
                   nullptr,
                   "no \"UserKey\" line"},
        // Could never be listed, selected or deleted.
        ImportCase{{"UserIdOver127Characters"},
                   kLongUserFile.c_str(),
                   nullptr,
                   nullptr,
                   nullptr,
                   "longer than 127 characters"},
        ImportCase{{"NoSuchFile"}, nullptr, nullptr, nullptr, nullptr, "could not be opened"}};
    return cases;
}

} // namespace exchange_cases
