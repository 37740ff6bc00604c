// list: the store's certificates, as user IDs (for people and simple scripts) or as an inventory
// in JSON or CSV (for the tools that collect what many machines hold). An inventory shows every
// value of both keys, sizes and problems only: never a key byte.
#include "Shared.h"

#include "store/CertificateStore.h"
#include "store/Inventory.h"

#include <cstdio>

namespace console {
namespace {

// The version of the JSON document's layout: it changes only when a field changes meaning.
constexpr int kInventoryFormat = 1;

// `text` as a JSON string in ASCII: a quote and a backslash escaped, every other character
// outside printable ASCII as \uXXXX (a UTF-16 unit each), so that every console, code page and
// PowerShell version reads it alike.
std::string JsonString(std::wstring_view text) {
    std::string json = "\"";
    for (wchar_t c : text) {
        if (c == L'"' || c == L'\\') {
            json += '\\';
            json += static_cast<char>(c);
        } else if (c >= 0x20 && c < 0x7F) {
            json += static_cast<char>(c);
        } else {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04X", static_cast<unsigned>(c));
            json += escape;
        }
    }
    return json + "\"";
}

// A value's size, or `absent` when there is none.
std::string Size(const std::optional<store::InventoryValue>& value, const char* absent) {
    return value ? std::to_string(value->bytes) : absent;
}

std::string ComputerName() {
    wchar_t name[MAX_COMPUTERNAME_LENGTH + 1] = {};
    DWORD length = MAX_COMPUTERNAME_LENGTH + 1;
    return JsonString(::GetComputerNameW(name, &length) ? std::wstring_view(name, length) : L"");
}

std::string Json(const std::vector<store::InventoryEntry>& entries) {
    std::string json = "{\"format\": " + std::to_string(kInventoryFormat) +
                       ", \"computer\": " + ComputerName() + ", \"certificates\": [";
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const store::InventoryEntry& entry = entries[i];
        json += (i == 0 ? "\r\n  " : ",\r\n  ");
        json += "{\"userId\": " + JsonString(entry.name) +
                ", \"userKeyBytes\": " + Size(entry.userKey, "null") +
                ", \"cookieKeyBytes\": " + Size(entry.cookieKey, "null") + ", \"problems\": [";
        const char* separator = "";
        for (const char* problem : entry.Problems()) {
            json += separator + std::string("\"") + problem + "\"";
            separator = ", ";
        }
        json += "]}";
    }
    return json + "\r\n]}\r\n";
}

// `text` in UTF-8 (a lone surrogate as U+FFFD).
std::string Utf8(std::wstring_view text) {
    int length = static_cast<int>(text.size());
    int bytes =
        ::WideCharToMultiByte(CP_UTF8, 0, text.data(), length, nullptr, 0, nullptr, nullptr);
    std::string utf8(bytes > 0 ? static_cast<std::size_t>(bytes) : 0, '\0');
    if (bytes > 0) {
        ::WideCharToMultiByte(CP_UTF8, 0, text.data(), length, &utf8[0], bytes, nullptr, nullptr);
    }
    return utf8;
}

// RFC 4180 in UTF-8 with a byte-order mark, as Excel and PowerShell 5.1's Import-Csv read it. The
// user ID is always quoted, and stays as it is: a control character in it is inside the quotes.
std::string Csv(const std::vector<store::InventoryEntry>& entries) {
    std::string csv = "\xEF\xBB\xBFuserId,userKeyBytes,cookieKeyBytes,problems\r\n";
    for (const store::InventoryEntry& entry : entries) {
        csv += '"';
        for (char c : Utf8(entry.name)) {
            csv += c == '"' ? std::string("\"\"") : std::string(1, c);
        }
        csv += "\"," + Size(entry.userKey, "") + "," + Size(entry.cookieKey, "") + ",";
        const char* separator = "";
        for (const char* problem : entry.Problems()) {
            csv += separator + std::string(problem);
            separator = " ";
        }
        csv += "\r\n";
    }
    return csv;
}

} // namespace

// Without a format, every certificate that the window lists, also one whose name the code page
// cannot hold, which is shown escaped rather than as a look-alike of another.
int List(const Invocation& invocation, ConsoleIo& io) {
    const bool json = invocation.format == L"json";
    if ((invocation.options & kFormat) != 0 && !json && invocation.format != L"csv") {
        return UsageError(io,
                          L"Unknown format " + QuotedPath(invocation.format) +
                              L": the formats are json and csv.",
                          "list");
    }
    if (RefuseUnlessElevated(io)) {
        return kFailed;
    }
    if ((invocation.options & kFormat) == 0) {
        std::wstring text;
        for (const store::ListedUserId& listed : store::ListCertificates(io)) {
            text += listed.Shown() + L"\r\n";
        }
        return Print(io, text) && !io.Reported() ? kSucceeded : kFailed;
    }
    bool complete = false;
    std::vector<store::InventoryEntry> entries = store::TakeInventory(io, complete);
    bool printed = json ? Print(io, std::string_view(Json(entries))) : PrintUtf8(io, Csv(entries));
    return printed && complete ? kSucceeded : kFailed;
}

} // namespace console
