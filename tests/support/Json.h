// A small JSON reader for tests that check what a program prints: strict enough to refuse what a
// JSON reader would refuse, and strings decoded to UTF-16 units. Portable.
#pragma once

#include <cstdlib>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace testing_support {

struct JsonValue {
    enum class Type { Null, Bool, Number, String, Array, Object } type = Type::Null;
    bool boolean = false;
    double number = 0;
    std::u16string string;
    std::vector<JsonValue> array;
    std::vector<std::pair<std::string, JsonValue>> object; // in document order

    // The member `name` of an object, or null when there is none.
    const JsonValue* Find(const std::string& name) const {
        for (const auto& [key, value] : object) {
            if (key == name) {
                return &value;
            }
        }
        return nullptr;
    }
};

class JsonReader {
  public:
    // The whole text as one value, or nothing when it is not JSON (or has more after it).
    static std::optional<JsonValue> Parse(const std::string& text) {
        JsonReader reader(text);
        JsonValue value;
        if (!reader.Value(value)) {
            return std::nullopt;
        }
        reader.Space();
        return reader.m_at == text.size() ? std::optional<JsonValue>(value) : std::nullopt;
    }

  private:
    explicit JsonReader(const std::string& text) : m_text(text) {}

    void Space() {
        while (m_at < m_text.size() &&
               std::string(" \t\r\n").find(m_text[m_at]) != std::string::npos) {
            ++m_at;
        }
    }
    bool Take(char c) {
        Space();
        if (m_at < m_text.size() && m_text[m_at] == c) {
            ++m_at;
            return true;
        }
        return false;
    }
    bool Word(const char* word) {
        std::string w(word);
        if (m_text.compare(m_at, w.size(), w) != 0) {
            return false;
        }
        m_at += w.size();
        return true;
    }
    bool String(std::u16string& out) {
        if (!Take('"')) {
            return false;
        }
        while (m_at < m_text.size()) {
            unsigned char c = static_cast<unsigned char>(m_text[m_at++]);
            if (c == '"') {
                return true;
            }
            if (c < 0x20) {
                return false; // raw control characters are not JSON
            }
            if (c != '\\') {
                out += static_cast<char16_t>(c); // ASCII only is checked by the tests
                continue;
            }
            if (m_at >= m_text.size()) {
                return false;
            }
            char e = m_text[m_at++];
            const std::string simple = "\"\\/bfnrt";
            const std::u16string meaning = u"\"\\/\b\f\n\r\t";
            if (std::size_t k = simple.find(e); k != std::string::npos) {
                out += meaning[k];
            } else if (e == 'u' && m_at + 4 <= m_text.size()) {
                std::string hex = m_text.substr(m_at, 4);
                if (hex.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos) {
                    return false;
                }
                out += static_cast<char16_t>(std::strtoul(hex.c_str(), nullptr, 16));
                m_at += 4;
            } else {
                return false;
            }
        }
        return false;
    }
    bool Value(JsonValue& value) {
        Space();
        if (m_at >= m_text.size()) {
            return false;
        }
        char c = m_text[m_at];
        if (c == '{') {
            value.type = JsonValue::Type::Object;
            ++m_at;
            if (Take('}')) {
                return true;
            }
            do {
                std::u16string key;
                JsonValue member;
                if (!String(key) || !Take(':') || !Value(member)) {
                    return false;
                }
                value.object.emplace_back(std::string(key.begin(), key.end()), member);
            } while (Take(','));
            return Take('}');
        }
        if (c == '[') {
            value.type = JsonValue::Type::Array;
            ++m_at;
            if (Take(']')) {
                return true;
            }
            do {
                value.array.emplace_back();
                if (!Value(value.array.back())) {
                    return false;
                }
            } while (Take(','));
            return Take(']');
        }
        if (c == '"') {
            value.type = JsonValue::Type::String;
            return String(value.string);
        }
        if (Word("null")) {
            return true;
        }
        if (Word("true") || Word("false")) {
            value.type = JsonValue::Type::Bool;
            value.boolean = m_text[m_at - 1] == 'e' && m_text[m_at - 2] == 'u';
            return true;
        }
        std::size_t end = m_text.find_first_not_of("-+.eE0123456789", m_at);
        end = end == std::string::npos ? m_text.size() : end;
        if (end == m_at) {
            return false;
        }
        value.type = JsonValue::Type::Number;
        value.number = std::strtod(m_text.substr(m_at, end - m_at).c_str(), nullptr);
        m_at = end;
        return true;
    }

    const std::string& m_text;
    std::size_t m_at = 0;
};

// The rows of an RFC 4180 text, each a list of its fields (quotes removed, "" as one).
inline std::optional<std::vector<std::vector<std::string>>> ReadCsv(const std::string& text) {
    std::vector<std::vector<std::string>> rows(1, std::vector<std::string>(1));
    for (std::size_t at = 0; at < text.size();) {
        std::string& field = rows.back().back();
        if (text[at] == '"' && field.empty()) {
            for (++at;; ++at) {
                if (at >= text.size()) {
                    return std::nullopt;
                }
                if (text[at] == '"' && (at + 1 >= text.size() || text[at + 1] != '"')) {
                    ++at;
                    break;
                }
                field += text[at];
                at += text[at] == '"' ? 1 : 0;
            }
        } else if (text[at] == ',') {
            rows.back().emplace_back();
            ++at;
        } else if (text.compare(at, 2, "\r\n") == 0) {
            rows.emplace_back(1);
            at += 2;
        } else if (text[at] == '"' || text[at] == '\r' || text[at] == '\n') {
            return std::nullopt; // a quote or a line break outside quotes
        } else {
            field += text[at++];
        }
    }
    if (rows.back().size() == 1 && rows.back()[0].empty()) {
        rows.pop_back(); // after the last line's CR LF
    }
    return rows;
}

} // namespace testing_support
