#include "FileNames.h"

#include <algorithm>
#include <cstdint>
#include <map>
#include <stdexcept>

// Why the names differ under fold: a "%" in a name always starts an escape (a character that
// folds like "%" is escaped too), and CheckFold makes sure that the folds of the escapes'
// characters tell them apart. So two names that fold alike hold the same escapes at the same
// places and, between them, characters that fold alike: the parts of their user IDs that they
// show have the same length and differ only where both names show a character as it is. There
// SetApart escapes all characters but one, and an escape never folds like a character shown as it
// is. Every round escapes more, so the rounds end, with names that fold alike only when they show
// the same start of their user IDs (whole user IDs would be the same), are shortened and carry the
// same hash: counters, each given once and read after the hash, set those apart.

namespace exchange {
namespace {

constexpr wchar_t kEscape = L'%';
constexpr std::wstring_view kExtension = L".crt";
constexpr std::wstring_view kEmptyName = L"%empty%.crt"; // "%e" must be followed by a hex digit
constexpr std::wstring_view kHashMark = L"%~";
constexpr std::size_t kHashDigits = 8;
constexpr wchar_t kCounterMark = L'~';
constexpr std::wstring_view kForbidden = L"<>:\"/\\|?*";
constexpr wchar_t kHexDigits[] = L"0123456789ABCDEF";

std::uint32_t Unit(wchar_t c) {
    return static_cast<std::uint32_t>(c);
}

bool IsHighSurrogate(wchar_t c) {
    return Unit(c) >= 0xD800 && Unit(c) < 0xDC00;
}
bool IsLowSurrogate(wchar_t c) {
    return Unit(c) >= 0xDC00 && Unit(c) < 0xE000;
}

// Whether the unit at `i` is a surrogate without its partner next to it.
bool IsLoneSurrogate(const std::wstring& id, std::size_t i) {
    if (IsHighSurrogate(id[i])) {
        return i + 1 == id.size() || !IsLowSurrogate(id[i + 1]);
    }
    return IsLowSurrogate(id[i]) && (i == 0 || !IsHighSurrogate(id[i - 1]));
}

// Marks the unit at `i` as escaped, with its partner if it is half of a surrogate pair: a name
// never holds half a pair.
void Escape(std::vector<bool>& escaped, const std::wstring& id, std::size_t i) {
    escaped[i] = true;
    if (!IsLoneSurrogate(id, i)) {
        if (IsHighSurrogate(id[i])) {
            escaped[i + 1] = true;
        } else if (IsLowSurrogate(id[i])) {
            escaped[i - 1] = true;
        }
    }
}

void AppendHex(std::wstring& text, std::uint32_t value, std::size_t digits) {
    while (digits-- > 0) {
        text += kHexDigits[(value >> (4 * digits)) & 0xF];
    }
}

void AppendEscape(std::wstring& text, wchar_t c) {
    text += kEscape;
    if (Unit(c) < 0x100) {
        AppendHex(text, Unit(c), 2);
    } else {
        text += L'u';
        AppendHex(text, Unit(c), 4);
    }
}

// FNV-1a (32 bits) over the user ID as UTF-16LE bytes.
std::uint32_t Hash(const std::wstring& id) {
    std::uint32_t hash = 2166136261u;
    for (wchar_t c : id) {
        for (std::uint32_t byte : {Unit(c) & 0xFF, Unit(c) >> 8}) {
            hash ^= byte;
            hash *= 16777619u;
        }
    }
    return hash;
}

// Whether `fold` folds printable ASCII as a file system does: two characters alike only when they
// are the two cases of a letter.
void CheckFold(FoldCase fold) {
    std::map<wchar_t, std::uint32_t> letterOf; // fold -> the character, in capitals
    for (std::uint32_t u = 0x20; u < 0x7F; ++u) {
        const std::uint32_t capital = u >= 'a' && u <= 'z' ? u - 0x20 : u;
        if (letterOf.emplace(fold(static_cast<wchar_t>(u)), capital).first->second != capital) {
            throw std::invalid_argument("The case fold makes two ASCII characters one.");
        }
    }
}

// The characters that no name holds as they are, whatever the other user IDs.
std::vector<bool> RequiredEscapes(const std::wstring& id, FoldCase fold) {
    std::vector<bool> escaped(id.size());
    for (std::size_t i = 0; i < id.size(); ++i) {
        const wchar_t c = id[i];
        if (Unit(c) < 0x20 || kForbidden.find(c) != std::wstring_view::npos || c == kEscape ||
            fold(c) == fold(kEscape) || IsLoneSurrogate(id, i)) {
            Escape(escaped, id, i);
        }
    }
    if (!id.empty() && (id.back() == L'.' || id.back() == L' ')) {
        escaped.back() = true;
    }
    return escaped;
}

bool IsDeviceDigit(wchar_t c) {
    return (c >= L'0' && c <= L'9') || c == L'\x00B9' || c == L'\x00B2' || c == L'\x00B3';
}

// Whether Windows takes a name that starts with `body` for a device: the part before the first
// dot, without its trailing spaces (and, to be safe, its leading ones), is a device name in any
// letter case.
bool IsDeviceName(std::wstring_view body, FoldCase fold) {
    std::wstring_view stem = body.substr(0, body.find(L'.'));
    while (!stem.empty() && stem.back() == L' ') {
        stem.remove_suffix(1);
    }
    while (!stem.empty() && stem.front() == L' ') {
        stem.remove_prefix(1);
    }
    const auto startsWith = [&](std::wstring_view capitals) {
        if (stem.size() < capitals.size()) {
            return false;
        }
        for (std::size_t i = 0; i < capitals.size(); ++i) {
            if (stem[i] != capitals[i] && fold(stem[i]) != capitals[i]) {
                return false;
            }
        }
        return true;
    };
    for (std::wstring_view device : {L"CON", L"PRN", L"AUX", L"NUL", L"CONIN$", L"CONOUT$"}) {
        if (stem.size() == device.size() && startsWith(device)) {
            return true;
        }
    }
    // COM0 and LPT0 too: some Windows documentation lists them.
    return stem.size() == 4 && (startsWith(L"COM") || startsWith(L"LPT")) &&
           (IsDeviceDigit(stem[3]) || IsDeviceDigit(fold(stem[3])));
}

// A user ID escaped, and where it can be cut: after each escape, character or surrogate pair.
struct Body {
    std::wstring text;
    std::vector<std::size_t> textEnds; // the text's length after each of them
    std::vector<std::size_t> unitEnds; // the user ID's units up to there
};

Body MakeBody(const std::wstring& id, const std::vector<bool>& escaped) {
    Body body;
    for (std::size_t i = 0; i < id.size();) {
        if (escaped[i]) {
            AppendEscape(body.text, id[i++]);
        } else {
            const std::size_t units = IsHighSurrogate(id[i]) && !IsLoneSurrogate(id, i) ? 2 : 1;
            body.text.append(id, i, units);
            i += units;
        }
        body.textEnds.push_back(body.text.size());
        body.unitEnds.push_back(i);
    }
    return body;
}

// A user ID's file name, and how many of its units the name shows.
struct Name {
    std::wstring text;
    std::size_t shownUnits = 0;
};

Name MakeName(const std::wstring& id, const std::vector<bool>& escaped, std::size_t counter,
              FoldCase fold) {
    if (id.empty()) {
        return {std::wstring(kEmptyName), 0};
    }
    Body body = MakeBody(id, escaped);
    if (IsDeviceName(body.text, fold)) {
        std::vector<bool> more = escaped;
        Escape(more, id, 0);
        body = MakeBody(id, more);
    }
    Name name;
    if (counter == 0 && body.text.size() + kExtension.size() <= kMaxFileNameChars) {
        name.text = std::move(body.text);
        name.shownUnits = id.size();
    } else {
        std::wstring mark(kHashMark);
        AppendHex(mark, Hash(id), kHashDigits);
        if (counter != 0) {
            mark += kCounterMark;
            mark += std::to_wstring(counter);
        }
        // The longest start that leaves room for the mark. An escaped start that ends at a dot
        // keeps any device name escaped; one that ends before it has a "%" in its first part.
        const std::size_t room = kMaxFileNameChars - kExtension.size() - mark.size();
        const auto cut = std::upper_bound(body.textEnds.begin(), body.textEnds.end(), room);
        if (cut != body.textEnds.begin()) {
            const auto tokens = static_cast<std::size_t>(cut - body.textEnds.begin());
            name.text = body.text.substr(0, body.textEnds[tokens - 1]);
            name.shownUnits = body.unitEnds[tokens - 1];
        }
        name.text += mark;
    }
    name.text += kExtension;
    return name;
}

std::vector<Name> MakeNames(const std::vector<std::wstring>& ids,
                            const std::vector<std::vector<bool>>& escaped,
                            const std::vector<std::size_t>& counters, FoldCase fold) {
    std::vector<Name> names;
    names.reserve(ids.size());
    for (std::size_t i = 0; i < ids.size(); ++i) {
        names.push_back(MakeName(ids[i], escaped[i], counters[i], fold));
    }
    return names;
}

// The groups (two or more, in ascending order) of names that fold alike.
std::vector<std::vector<std::size_t>> Collisions(const std::vector<Name>& names, FoldCase fold) {
    std::map<std::wstring, std::vector<std::size_t>> byFold;
    for (std::size_t i = 0; i < names.size(); ++i) {
        std::wstring folded = names[i].text;
        std::transform(folded.begin(), folded.end(), folded.begin(), fold);
        byFold[folded].push_back(i);
    }
    std::vector<std::vector<std::size_t>> groups;
    for (auto& entry : byFold) {
        if (entry.second.size() > 1) {
            groups.push_back(std::move(entry.second));
        }
    }
    return groups;
}

// Where the shown user IDs of a group differ, escapes every character but the least one that
// fold changes (the lower-case letter, so that "alice" stays as it is beside "Alice"). Returns
// whether it escaped anything.
bool SetApart(const std::vector<std::vector<std::size_t>>& groups,
              const std::vector<std::wstring>& ids, const std::vector<Name>& names,
              std::vector<std::vector<bool>>& escaped, FoldCase fold) {
    bool escapedMore = false;
    for (const std::vector<std::size_t>& group : groups) {
        std::size_t shown = ids[group[0]].size();
        for (std::size_t member : group) {
            shown = std::min({shown, names[member].shownUnits, ids[member].size()});
        }
        for (std::size_t i = 0; i < shown; ++i) {
            bool differ = false;
            std::optional<wchar_t> kept;
            for (std::size_t member : group) {
                const wchar_t c = ids[member][i];
                differ = differ || c != ids[group[0]][i];
                if (fold(c) != c && (!kept || c < *kept)) {
                    kept = c;
                }
            }
            if (!differ) {
                continue;
            }
            for (std::size_t member : group) {
                const wchar_t c = ids[member][i];
                if ((!kept || c != *kept) && !escaped[member][i]) {
                    Escape(escaped[member], ids[member], i);
                    escapedMore = true;
                }
            }
        }
    }
    return escapedMore;
}

// Gives every name of a group but its least user ID's a counter, each counter once.
void Number(const std::vector<std::vector<std::size_t>>& groups,
            std::vector<std::size_t>& counters) {
    std::vector<std::size_t> later;
    for (const std::vector<std::size_t>& group : groups) {
        later.insert(later.end(), group.begin() + 1, group.end());
    }
    std::sort(later.begin(), later.end());
    std::size_t next = 2;
    for (std::size_t member : later) {
        counters[member] = next++;
    }
}

// The value of `digits` capital hex digits at the start of `text`.
std::optional<std::uint32_t> HexValue(std::wstring_view text, std::size_t digits) {
    if (text.size() < digits) {
        return std::nullopt;
    }
    std::uint32_t value = 0;
    for (wchar_t c : text.substr(0, digits)) {
        const wchar_t* digit = std::find(kHexDigits, kHexDigits + 16, c);
        if (digit == kHexDigits + 16) {
            return std::nullopt;
        }
        value = value * 16 + static_cast<std::uint32_t>(digit - kHexDigits);
    }
    return value;
}

// Whether `text` is what a shortened name has after its "%~": the hash, then maybe a counter.
bool IsHashMark(std::wstring_view text) {
    if (!HexValue(text, kHashDigits)) {
        return false;
    }
    const std::wstring_view counter = text.substr(kHashDigits);
    if (counter.empty()) {
        return true;
    }
    return counter.size() >= 2 && counter[0] == kCounterMark && counter[1] != L'0' &&
           std::all_of(counter.begin() + 1, counter.end(),
                       [](wchar_t c) { return c >= L'0' && c <= L'9'; });
}

} // namespace

std::vector<std::wstring> CertificateFileNames(const std::vector<std::wstring>& userIds,
                                               FoldCase fold) {
    CheckFold(fold);
    for (const std::wstring& userId : userIds) {
        for (wchar_t c : userId) {
            if ((Unit(c) >> 16) != 0) {
                throw std::invalid_argument("A user ID holds a character beyond UTF-16.");
            }
        }
    }
    // Sorted, so that the input's order changes nothing.
    std::vector<std::wstring> ids = userIds;
    std::sort(ids.begin(), ids.end());
    ids.erase(std::unique(ids.begin(), ids.end()), ids.end());
    std::vector<std::vector<bool>> escaped;
    escaped.reserve(ids.size());
    for (const std::wstring& id : ids) {
        escaped.push_back(RequiredEscapes(id, fold));
    }
    std::vector<std::size_t> counters(ids.size());
    std::vector<Name> names;
    for (bool numbered = false;;) {
        names = MakeNames(ids, escaped, counters, fold);
        const std::vector<std::vector<std::size_t>> groups = Collisions(names, fold);
        if (groups.empty()) {
            break;
        }
        if (numbered) {
            throw std::logic_error("Certificate file names fold alike."); // see the top
        }
        if (!SetApart(groups, ids, names, escaped, fold)) {
            Number(groups, counters);
            numbered = true;
        }
    }
    std::vector<std::wstring> result;
    result.reserve(userIds.size());
    for (const std::wstring& userId : userIds) {
        const auto at = std::lower_bound(ids.begin(), ids.end(), userId) - ids.begin();
        result.push_back(names[static_cast<std::size_t>(at)].text);
    }
    return result;
}

std::optional<DecodedFileName> DecodeCertificateFileName(std::wstring_view fileName) {
    if (fileName.size() < kExtension.size() ||
        fileName.substr(fileName.size() - kExtension.size()) != kExtension) {
        return std::nullopt;
    }
    if (fileName == kEmptyName) {
        return DecodedFileName{};
    }
    std::wstring_view rest = fileName.substr(0, fileName.size() - kExtension.size());
    DecodedFileName decoded;
    while (!rest.empty()) {
        if (rest[0] != kEscape) {
            decoded.userId += rest[0];
            rest.remove_prefix(1);
            continue;
        }
        if (rest.substr(0, kHashMark.size()) == kHashMark) {
            if (!IsHashMark(rest.substr(kHashMark.size()))) {
                return std::nullopt;
            }
            decoded.complete = false;
            return decoded;
        }
        const bool wide = rest.size() > 1 && rest[1] == L'u';
        const std::size_t start = wide ? 2 : 1;
        const std::size_t digits = wide ? 4 : 2;
        const std::optional<std::uint32_t> value = HexValue(rest.substr(start), digits);
        if (!value || (wide && *value < 0x100)) {
            return std::nullopt;
        }
        decoded.userId += static_cast<wchar_t>(*value);
        rest.remove_prefix(start + digits);
    }
    return decoded;
}

} // namespace exchange
