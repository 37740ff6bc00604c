// The file names of a bulk export ("wardkeepc export --all FOLDER"): one certificate file per
// certificate of the store, named after its user ID so that the folder reads as a list of the
// store. Portable: no Windows headers, so it also builds natively.
//
// A name is the user ID, escaped where Windows cannot take it as it is, then ".crt":
//     alice     -> alice.crt           j.smith -> j.smith.crt
//     a<b       -> a%3Cb.crt           100%    -> 100%25.crt      alice. -> alice%2E.crt
//     CON       -> %43ON.crt           nul .x  -> %6Eul .x.crt    (empty) -> %empty%.crt
//     Alice, alice, ALICE -> %41lice.crt, alice.crt, %41%4C%49%43%45.crt
// An escape is "%XX" (two capital hex digits) for a character below 0x100, "%uXXXX" for another
// UTF-16 unit. Escaped are: the characters that no Windows name holds (< > : " / \ | ? * and
// 0x00-0x1F), the escape character "%" (and any that the file system takes for it), a surrogate
// without its partner, a last dot or space (Windows drops those from a name's end: the name stays
// valid without its ".crt"), and the first character of a device name (CON, PRN, AUX, NUL,
// COM0-COM9, LPT0-LPT9, COM/LPT with a superscript 1-3, CONIN$, CONOUT$, in any letter case,
// compared on the part before the first dot without the spaces around it: "nul .x.crt" opens the
// device). So every name but a shortened one decodes back to exactly its user ID.
//
// Names that the file system would take for one (NTFS compares names case-insensitively) are set
// apart: where their user IDs differ, the character that folds (the lower-case letter) stays and
// the others are escaped. A name that would exceed Windows' 255 characters keeps the start of its
// escaped user ID and ends in "%~" and the FNV-1a hash of the whole user ID (8 capital hex
// digits), then "~2", "~3"... should two such names still be one.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace exchange {

// Folds a character as the file system compares names (Windows: CharUpperBuffW on it).
using FoldCase = wchar_t (*)(wchar_t);

// Longest file name, in UTF-16 units, ".crt" included: Windows' limit for a name in a path.
constexpr std::size_t kMaxFileNameChars = 255;

// The file names (without folder, each ending in ".crt") for the certificates of `userIds`, the
// user IDs as UTF-16 (one unit per wchar_t), in the same order. The names are pairwise different
// under `fold` and each a valid Windows file name; a user ID given twice gets the same name twice.
// The names depend on the set of user IDs only, not on their order: an export made twice names
// its files alike. A user ID's name differs from its name alone only when another user ID's name
// would have been the same under `fold`.
//
// Throws std::invalid_argument when `fold` makes two printable ASCII characters one, but for the
// two cases of a letter (the escapes would no longer tell names apart), or when a wchar_t (32 bits
// outside Windows) holds more than a UTF-16 unit.
std::vector<std::wstring> CertificateFileNames(const std::vector<std::wstring>& userIds,
                                               FoldCase fold);

// What a file name of CertificateFileNames stands for.
struct DecodedFileName {
    std::wstring userId; // the user ID, or its start when the name was shortened
    bool complete = true;
};

// The user ID that `fileName` (without folder) names; none when the name is not one that
// CertificateFileNames gives: no ".crt" at its end, or a "%" that starts no escape.
std::optional<DecodedFileName> DecodeCertificateFileName(std::wstring_view fileName);

} // namespace exchange
