// verify: whether the store holds what certificate files say, for compliance tools. A detection
// script reads the exit code and keeps the first 2,048 characters of standard output; a discovery
// script's output is compared as a whole. So the output is short, stable and never partial: one
// line per certificate, then a summary, and nothing on standard error unless nothing could be
// checked.
#include "Shared.h"

#include "framework/Text.h"
#include "store/CertificateStore.h"
#include "store/Inventory.h"

#include <set>

namespace console {

namespace {

// What verify says of a certificate, in the order the counts are given.
enum Verdict : std::size_t {
    kOk,
    kMissing,          // no UserKey value
    kUserKeyDiffers,   // the CookieKey is the same
    kCookieKeyDiffers, // different or absent; the UserKey is the same
    kKeysDiffer,       // both
    kNotExpected,      // with --exact: in the store, in no file
    kVerdicts
};

const char* const kVerdictText[kVerdicts] = {
    "ok", "missing", "UserKey differs", "CookieKey differs", "keys differ", "not expected",
};

// The most of standard output that a detection script keeps, line ends included. The lines are
// counted in bytes, which are never fewer than the characters.
constexpr std::size_t kMaxOutput = 2048;

using Counts = std::size_t[kVerdicts];

// "3 ok, 1 missing, 0 UserKey differs, 0 CookieKey differs, 0 keys differ, 0 not expected":
// every kind, always in this order.
std::string CountsText(const Counts& counts) {
    std::string text;
    for (std::size_t v = 0; v < kVerdicts; ++v) {
        text += (v == 0 ? "" : ", ") + std::to_string(counts[v]) + " " + kVerdictText[v];
    }
    return text;
}

// "Verified 5 certificates: ..." or "Left out 1 line: ...": `what` of every kind counted.
std::string CountedLine(const char* done, const Counts& counts, const char* what) {
    std::size_t total = 0;
    for (std::size_t count : counts) {
        total += count;
    }
    return done + std::to_string(total) + " " + what + (total == 1 ? ": " : "s: ") +
           CountsText(counts) + ".\r\n";
}

struct Line {
    std::string text; // with its line end
    Verdict verdict;
};

// How the store holds `certificate`, compared as an import compares it.
Verdict Compare(ConsoleIo& io, const exchange::RegCertificate& certificate) {
    using store::StoredKey;
    StoredKey userKey =
        store::CompareStoredKey(io, store::kUsersKey, certificate.userId, certificate.userKey);
    if (userKey == StoredKey::Missing) {
        return kMissing;
    }
    bool cookieKeySame = store::CompareStoredKey(io, store::kCookiesKey, certificate.userId,
                                                 certificate.cookieKey) == StoredKey::Same;
    if (userKey == StoredKey::Same) {
        return cookieKeySame ? kOk : kCookieKeyDiffers;
    }
    return cookieKeySame ? kUserKeyDiffers : kKeysDiffer;
}

// The lines, the summary last, within kMaxOutput: where they do not all fit, "ok" lines are left
// out first, then the others, each time the last one, and a line before the summary says how many
// of each kind were left out.
std::string FittedOutput(const std::vector<Line>& lines) {
    Counts counts = {};
    for (const Line& line : lines) {
        ++counts[line.verdict];
    }
    const std::string summary = CountedLine("Verified ", counts, "certificate");
    std::vector<bool> kept(lines.size(), true);
    std::size_t size = summary.size();
    for (const Line& line : lines) {
        size += line.text.size();
    }
    Counts leftOut = {};
    std::string leftOutLine;
    for (bool okOnly : {true, false}) {
        for (std::size_t i = lines.size(); i-- > 0 && size + leftOutLine.size() > kMaxOutput;) {
            if (kept[i] && (!okOnly || lines[i].verdict == kOk)) {
                kept[i] = false;
                size -= lines[i].text.size();
                ++leftOut[lines[i].verdict];
                leftOutLine = CountedLine("Left out ", leftOut, "line");
            }
        }
    }
    std::string output;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (kept[i]) {
            output += lines[i].text;
        }
    }
    return output + leftOutLine + summary;
}

} // namespace

int Verify(const Invocation& invocation, ConsoleIo& io) {
    // Whatever stops the check gives 2: a 1 would say that the store differs, which nobody saw.
    const wchar_t* nothing = L"Nothing was verified.";
    std::vector<std::wstring> paths;
    std::vector<exchange::RegCertificate> certificates;
    if (RefuseUnlessElevated(io) || !OperandFiles(invocation, io, nothing, paths) ||
        !ReadCertificates(paths, io, nothing, false, certificates)) {
        return kUsageError;
    }
    // Taken also without --exact: a key that cannot be opened would otherwise read as missing
    // certificates.
    store::BulkSession session;
    bool complete = false;
    std::vector<store::InventoryEntry> inventory = store::TakeInventory(io, complete);
    std::vector<Line> lines;
    std::set<std::wstring> named; // in capitals, as the registry compares names
    for (const exchange::RegCertificate& certificate : certificates) {
        Verdict verdict = Compare(io, certificate);
        lines.push_back(
            {Quoted(certificate.userId) + " " + kVerdictText[verdict] + "\r\n", verdict});
        named.insert(Capitals(fw::FromAnsi(certificate.userId)));
    }
    if (!complete || io.Reported()) {
        io.Error(L"The certificate store could not be read. " + std::wstring(nothing));
        return kUsageError;
    }
    if ((invocation.options & kExact) != 0) {
        for (const store::InventoryEntry& entry : inventory) {
            if (named.count(Capitals(entry.name)) == 0) {
                // Exact: ShownName escapes every character that the code page lacks.
                std::string shown;
                static_cast<void>(fw::ToAnsi(fw::ShownName(entry.name), shown));
                lines.push_back(
                    {"\"" + shown + "\" " + kVerdictText[kNotExpected] + "\r\n", kNotExpected});
            }
        }
    }
    if (!Print(io, FittedOutput(lines))) {
        return kUsageError;
    }
    for (const Line& line : lines) {
        if (line.verdict != kOk) {
            return kFailed;
        }
    }
    return kSucceeded;
}

} // namespace console
