#include "RegFileReader.h"

#include "CertificateFile.h"

#include <algorithm>
#include <cstdint>
#include <iterator>
#include <unordered_map>
#include <utility>

namespace exchange {
namespace {

constexpr std::u16string_view kHeader = u"Windows Registry Editor Version 5.00";
constexpr std::u16string_view kAnsiHeader = u"REGEDIT4";
constexpr std::u16string_view kBlanks = u" \t";
constexpr std::u16string_view kHexType = u"hex:";

// The two keys, in the order the certificate's members are read: Users, then Cookies.
constexpr std::size_t kUsers = 0;
constexpr std::size_t kCookies = 1;
constexpr std::u16string_view kKeyPaths[] = {
    u"HKEY_LOCAL_MACHINE\\SOFTWARE\\Lockwell\\Users_lkw_20",
    u"HKEY_LOCAL_MACHINE\\SOFTWARE\\Lockwell\\Cookies_lkw_20",
};
constexpr const char* kKeyNames[] = {"Users", "Cookies"};

// Lower-case letters and what their upper-case letter is away: every `step`th character from
// `first` to `last`.
const struct {
    char16_t first;
    char16_t last;
    char16_t step;
    int shift;
} kLowerCase[] = {
    {u'a', u'z', 1, -32},     {0x00E0, 0x00F6, 1, -32}, {0x00F8, 0x00FE, 1, -32},
    {0x00FF, 0x00FF, 1, 121}, {0x0101, 0x012F, 2, -1},  {0x0133, 0x0137, 2, -1},
    {0x013A, 0x0148, 2, -1},  {0x014B, 0x0177, 2, -1},  {0x017A, 0x017E, 2, -1},
    {0x03B1, 0x03C1, 1, -32}, {0x03C2, 0x03C2, 1, -31}, {0x03C3, 0x03CB, 1, -32},
    {0x0430, 0x044F, 1, -32}, {0x0450, 0x045F, 1, -80},
};

char16_t UpperCase(char16_t c) {
    for (const auto& range : kLowerCase) {
        if (c >= range.first && c <= range.last && (c - range.first) % range.step == 0) {
            return static_cast<char16_t>(c + range.shift);
        }
    }
    return c;
}

std::u16string FoldCase(std::u16string_view name) {
    std::u16string folded(name);
    std::transform(folded.begin(), folded.end(), folded.begin(), UpperCase);
    return folded;
}

bool EqualIgnoringAsciiCase(std::u16string_view a, std::u16string_view b) {
    const auto fold = [](char16_t c) { return c >= u'a' && c <= u'z' ? c - 32 : c; };
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                      [&](char16_t x, char16_t y) { return fold(x) == fold(y); });
}

// Thrown inside the reader when it refuses the file.
struct Refusal {
    std::size_t line;
    std::string what;
};

[[noreturn]] void Refuse(std::size_t line, std::string what) {
    throw Refusal{line, std::move(what)};
}

// The text's lines, without their line ends.
class Lines {
  public:
    explicit Lines(std::u16string_view text) : m_text(text) {}

    // The next line; false at the end of the text.
    bool Next(std::u16string_view& line) {
        if (m_rest == m_text.size()) {
            return false;
        }
        ++m_number;
        const std::size_t end = std::min(m_text.find(u'\n', m_rest), m_text.size());
        line = m_text.substr(m_rest, end - m_rest);
        m_rest = std::min(end + 1, m_text.size());
        if (!line.empty() && line.back() == u'\r') {
            line.remove_suffix(1);
        }
        if (line.find(u'\r') != std::u16string_view::npos) {
            Refuse(m_number, "a carriage return without a line feed");
        }
        if (line.find(u'\0') != std::u16string_view::npos) {
            Refuse(m_number, "a zero character");
        }
        return true;
    }
    // The number of the line that Next gave last, from 1.
    std::size_t Number() const { return m_number; }

  private:
    std::u16string_view m_text;
    std::size_t m_rest = 0;
    std::size_t m_number = 0;
};

std::u16string_view SkipBlanks(std::u16string_view line) {
    line.remove_prefix(std::min(line.find_first_not_of(kBlanks), line.size()));
    return line;
}

struct Value {
    std::u16string name;
    fw::Secret data;
    std::size_t line;
};

struct Key {
    bool seen = false;
    std::vector<Value> values;
    std::unordered_map<std::u16string, std::size_t> byFoldedName; // index in `values`
};

// "name" or @ at the start of `line`, which it leaves after it.
std::u16string ReadName(std::u16string_view& line, std::size_t number) {
    std::u16string name;
    std::size_t i = 1;
    if (line[0] == u'"') {
        for (;; ++i) {
            if (i == line.size()) {
                Refuse(number, "the value name has no closing quote");
            }
            char16_t c = line[i];
            if (c == u'"') {
                ++i;
                break;
            }
            if (c == u'\\') {
                if (i + 1 == line.size() || (line[i + 1] != u'\\' && line[i + 1] != u'"')) {
                    Refuse(number, "a backslash in a value name escapes neither a backslash nor "
                                   "a quote");
                }
                c = line[++i];
            }
            if (c < 0x20 || c == 0x7F) {
                Refuse(number, "a control character in a value name");
            }
            name += c;
        }
    }
    if (name.size() > kMaxUserIdChars) {
        Refuse(number,
               "a value name of more than " + std::to_string(kMaxUserIdChars) + " characters");
    }
    line.remove_prefix(i);
    return name;
}

int HexDigit(char16_t c) {
    if (c >= u'0' && c <= u'9') {
        return c - u'0';
    }
    if (c >= u'a' && c <= u'f') {
        return c - u'a' + 10;
    }
    if (c >= u'A' && c <= u'F') {
        return c - u'A' + 10;
    }
    return -1;
}

// The hex data after "hex:", joined over its continuation lines.
class HexText {
  public:
    HexText(std::u16string_view first, std::size_t number) { Add(first, number); }

    // Whether the text goes on on the next line: the backslash at its end is dropped.
    bool Continues() {
        if (m_text.Empty() || m_text.Get().back() != u'\\') {
            return false;
        }
        m_text.Resize(m_text.Size() - 1);
        return true;
    }
    void Add(std::u16string_view more, std::size_t number) {
        m_lines.emplace_back(m_text.Size(), number);
        m_text.Append(more);
    }

    // The bytes: two hex digits each, separated by commas.
    fw::Secret Decode() const {
        const std::u16string_view text = m_text.Get();
        fw::Secret bytes;
        for (std::size_t at = 0; at < text.size(); at += 2) {
            if (at != 0 && text[at++] != u',') {
                Refuse(LineAt(at - 1), "bad hex data: the bytes are separated by commas");
            }
            const int high = at < text.size() ? HexDigit(text[at]) : -1;
            const int low = at + 1 < text.size() ? HexDigit(text[at + 1]) : -1;
            if (high < 0 || low < 0) {
                Refuse(LineAt(at), "bad hex data: each byte is two hex digits");
            }
            if (high == 0 && low == 0) {
                Refuse(LineAt(at), "a zero byte in a key");
            }
            if (bytes.Size() == kMaxDecodedKeyBytes) {
                Refuse(LineAt(at),
                       "a key of more than " + std::to_string(kMaxDecodedKeyBytes) + " bytes");
            }
            bytes.Append(static_cast<char>(high << 4 | low));
        }
        return bytes;
    }

  private:
    // The line that holds the character at `at` (the last line past the end).
    std::size_t LineAt(std::size_t at) const {
        auto after = std::upper_bound(m_lines.begin(), m_lines.end(), at,
                                      [](std::size_t a, const auto& l) { return a < l.first; });
        return std::prev(after)->second;
    }

    Secret16 m_text;
    std::vector<std::pair<std::size_t, std::size_t>> m_lines; // where each line starts, its number
};

// A value line (`line` from its first non-blank), with its continuation lines.
void ReadValue(std::u16string_view line, Lines& lines, Key& key) {
    const std::size_t number = lines.Number();
    std::u16string name = ReadName(line, number);
    if (line.empty() || line[0] != u'=') {
        Refuse(number, "the value name is not followed by \"=\"");
    }
    line.remove_prefix(1);
    if (line == u"-") {
        Refuse(number, "a value deleted (\"=-\"): a backup deletes nothing");
    }
    if (line.substr(0, kHexType.size()) != kHexType) {
        Refuse(number, "a value that is not binary (\"hex:\")");
    }
    HexText hex(line.substr(kHexType.size()), number);
    while (hex.Continues()) {
        std::u16string_view next;
        if (!lines.Next(next)) {
            Refuse(lines.Number() + 1, "the value goes on past the end of the file");
        }
        hex.Add(SkipBlanks(next), lines.Number());
    }
    fw::Secret data = hex.Decode();
    const auto [earlier, added] = key.byFoldedName.emplace(FoldCase(name), key.values.size());
    if (!added) {
        Refuse(number, "the value name of line " +
                           std::to_string(key.values[earlier->second].line) +
                           " again (letter case aside)");
    }
    key.values.push_back({std::move(name), std::move(data), number});
}

// The line in [...], from its first non-blank: which of the two keys it opens.
std::size_t ReadKeyLine(std::u16string_view line, std::size_t number) {
    if (line.size() < 2 || line.back() != u']') {
        Refuse(number, "a key line that does not end in \"]\"");
    }
    const std::u16string_view path = line.substr(1, line.size() - 2);
    if (!path.empty() && path[0] == u'-') {
        Refuse(number, "a key deleted (\"[-\"): a backup deletes nothing");
    }
    for (std::size_t k = 0; k < std::size(kKeyPaths); ++k) {
        if (EqualIgnoringAsciiCase(path, kKeyPaths[k])) {
            return k;
        }
    }
    Refuse(number, "a key other than the Users and Cookies keys of the store");
}

// The first value of `key` whose name `other` lacks, or null.
const Value* FirstUnpaired(const Key& key, const Key& other) {
    for (const Value& value : key.values) {
        if (other.byFoldedName.count(FoldCase(value.name)) == 0) {
            return &value;
        }
    }
    return nullptr;
}

std::vector<StoreCertificate> ReadText(std::u16string_view text, bool ansi) {
    Lines lines(text);
    std::u16string_view line;
    if (!lines.Next(line) || (line != kHeader && !(ansi && line == kAnsiHeader))) {
        Refuse(1, "the first line is not \"Windows Registry Editor Version 5.00\"");
    }
    Key keys[std::size(kKeyPaths)];
    Key* current = nullptr;
    while (lines.Next(line)) {
        line = SkipBlanks(line);
        if (line.empty() || line[0] == u';') {
            continue;
        }
        if (line[0] == u'[') {
            current = &keys[ReadKeyLine(line, lines.Number())];
            current->seen = true;
        } else if (line[0] == u'"' || line[0] == u'@') {
            if (current == nullptr) {
                Refuse(lines.Number(), "a value before the first key line");
            }
            ReadValue(line, lines, *current);
        } else {
            Refuse(lines.Number(), "neither a key, a value, a comment nor empty");
        }
    }
    const std::size_t end = lines.Number() + 1;
    for (std::size_t k = 0; k < std::size(keys); ++k) {
        if (!keys[k].seen) {
            Refuse(end, std::string("the ") + kKeyNames[k] + " key is missing");
        }
    }
    // The first value without its pair, in either key.
    const Value* unpaired[] = {FirstUnpaired(keys[kUsers], keys[kCookies]),
                               FirstUnpaired(keys[kCookies], keys[kUsers])};
    for (std::size_t k = 0; k < std::size(keys); ++k) {
        const Value* other = unpaired[1 - k];
        if (unpaired[k] != nullptr && (other == nullptr || unpaired[k]->line < other->line)) {
            Refuse(unpaired[k]->line, std::string("a value whose name the ") + kKeyNames[1 - k] +
                                          " key lacks: a certificate needs both keys");
        }
    }
    std::vector<StoreCertificate> certificates;
    for (Value& user : keys[kUsers].values) {
        Value& cookie = keys[kCookies].values[keys[kCookies].byFoldedName.at(FoldCase(user.name))];
        certificates.push_back(
            {std::move(user.name), std::move(user.data), std::move(cookie.data)});
    }
    return certificates;
}

RegFileReading EncodingRefused(std::string reason) {
    RegFileReading reading;
    reading.status = RegFileStatus::Encoding;
    reading.reason = std::move(reason);
    return reading;
}

} // namespace

RegFileReading ReadStoreRegFile(std::string_view bytes, AnsiDecoder decodeAnsi) {
    const auto startsWith = [&](std::string_view mark) {
        return bytes.substr(0, mark.size()) == mark;
    };
    Secret16 text;
    const bool ansi = !startsWith("\xFF\xFE");
    if (!ansi) {
        if (bytes.size() % 2 != 0) {
            return EncodingRefused("UTF-16 text of an odd number of bytes.");
        }
        text.Reserve(bytes.size() / 2 - 1);
        for (std::size_t i = 2; i < bytes.size(); i += 2) {
            text.Append(static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                              static_cast<unsigned char>(bytes[i + 1]) << 8));
        }
    } else if (startsWith("\xEF\xBB\xBF")) {
        return EncodingRefused("UTF-8 text: the registry file is UTF-16 or ANSI text.");
    } else if (startsWith("\xFE\xFF")) {
        return EncodingRefused("big-endian UTF-16 text: the registry file is UTF-16LE.");
    } else if (bytes.find('\0') != std::string_view::npos) {
        return EncodingRefused("a zero byte in text without a byte order mark: UTF-16 text "
                               "needs its byte order mark.");
    } else if (decodeAnsi == nullptr) {
        return EncodingRefused("text without a byte order mark.");
    } else {
        text = decodeAnsi(bytes);
    }

    RegFileReading reading;
    try {
        reading.certificates = ReadText(text.Get(), ansi);
        reading.status = RegFileStatus::Read;
    } catch (const Refusal& refusal) {
        reading.line = refusal.line;
        reading.reason = "Line " + std::to_string(refusal.line) + ": " + refusal.what + ".";
    }
    return reading;
}

} // namespace exchange
