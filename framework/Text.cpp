#include "Text.h"

#include <limits>

namespace fw {
namespace {

int Length(std::size_t size) {
    return size < static_cast<std::size_t>(std::numeric_limits<int>::max()) ? static_cast<int>(size)
                                                                            : -1;
}

// Converts into the buffer that `resize(n)` makes room for and returns; checks that the bytes
// give back exactly the text.
template <class Resize> bool Convert(std::wstring_view text, Resize&& resize) {
    int length = Length(text.size());
    if (length < 0 || text.find(L'\0') != std::wstring_view::npos) {
        return false;
    }
    if (length == 0) {
        resize(0);
        return true;
    }
    const UINT codePage = ::GetACP();
    const CodePageFlags accepted = NoBestFitFlags(codePage);
    const DWORD flags = accepted.flags;
    BOOL usedDefault = FALSE;
    BOOL* usedDefaultFlag = accepted.saysDefault ? &usedDefault : nullptr;
    int bytes = ::WideCharToMultiByte(codePage, flags, text.data(), length, nullptr, 0, nullptr,
                                      usedDefaultFlag);
    if (bytes <= 0 || usedDefault) {
        return false;
    }
    char* out = resize(static_cast<std::size_t>(bytes));
    if (::WideCharToMultiByte(codePage, flags, text.data(), length, out, bytes, nullptr,
                              usedDefaultFlag) != bytes ||
        usedDefault) {
        return false;
    }
    // The way back must give the same characters: the code page's tables decide, not the flags.
    WideSecret back;
    back.Resize(text.size());
    return ::MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, out, bytes, back.Buffer(),
                                 length) == length &&
           back.Get() == text;
}

} // namespace

CodePageFlags NoBestFitFlags(UINT codePage) {
    switch (codePage) {
    case CP_UTF8:
        return {WC_ERR_INVALID_CHARS, false};
    case CP_UTF7:
    case 42: // Symbol
    case 50220:
    case 50221:
    case 50222:
    case 50225:
    case 50227:
    case 50229:
    case 54936: // GB18030
        return {0, false};
    default:
        return codePage >= 57002 && codePage <= 57011 // ISCII
                   ? CodePageFlags{0, false}
                   : CodePageFlags{WC_NO_BEST_FIT_CHARS, true};
    }
}

std::wstring Capitals(std::wstring text) {
    if (!text.empty()) {
        ::CharUpperBuffW(&text[0], static_cast<DWORD>(text.size()));
    }
    return text;
}

std::string MessageToAnsi(std::wstring_view text) {
    int length = Length(text.size());
    if (length <= 0) {
        return std::string();
    }
    const UINT codePage = ::GetACP();
    // Invalid UTF-16 (a lone surrogate in a file name) is no reason to lose a message.
    const DWORD flags = NoBestFitFlags(codePage).flags & ~DWORD{WC_ERR_INVALID_CHARS};
    int bytes =
        ::WideCharToMultiByte(codePage, flags, text.data(), length, nullptr, 0, nullptr, nullptr);
    std::string ansi(bytes > 0 ? static_cast<std::size_t>(bytes) : 0, '\0');
    if (bytes > 0) {
        ::WideCharToMultiByte(codePage, flags, text.data(), length, &ansi[0], bytes, nullptr,
                              nullptr);
    }
    return ansi;
}

bool ToAnsi(std::wstring_view text, std::string& ansi) {
    bool exact = Convert(text, [&](std::size_t size) {
        ansi.assign(size, '\0');
        return &ansi[0];
    });
    if (!exact) {
        ansi.clear();
    }
    return exact;
}

bool ToUtf8(std::wstring_view text, Secret& utf8) {
    utf8.Clear();
    int length = Length(text.size());
    if (length < 0 || text.find(L'\0') != std::wstring_view::npos) {
        return false;
    }
    if (length == 0) {
        return true;
    }
    int bytes = ::WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, text.data(), length, nullptr,
                                      0, nullptr, nullptr);
    if (bytes <= 0) {
        return false;
    }
    utf8.Resize(static_cast<std::size_t>(bytes));
    if (::WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, text.data(), length, utf8.Buffer(),
                              bytes, nullptr, nullptr) != bytes) {
        utf8.Clear();
        return false;
    }
    return true;
}

bool ToAnsi(std::wstring_view text, Secret& ansi) {
    bool exact = Convert(text, [&](std::size_t size) {
        ansi.Clear();
        ansi.Resize(size);
        return ansi.Buffer();
    });
    if (!exact) {
        ansi.Clear();
    }
    return exact;
}

std::wstring FromAnsi(std::string_view ansi) {
    int length = Length(ansi.size());
    if (length <= 0) {
        return std::wstring();
    }
    int chars = ::MultiByteToWideChar(CP_ACP, 0, ansi.data(), length, nullptr, 0);
    std::wstring text(chars > 0 ? static_cast<std::size_t>(chars) : 0, L'\0');
    if (chars > 0) {
        ::MultiByteToWideChar(CP_ACP, 0, ansi.data(), length, &text[0], chars);
    }
    return text;
}

bool IsAnsiText(std::string_view ansi) {
    int length = Length(ansi.size());
    return length == 0 ||
           (length > 0 && ::MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, ansi.data(), length,
                                                nullptr, 0) > 0);
}

namespace {

bool IsControl(unsigned code) {
    return code < 0x20 || code == 0x7F;
}

template <class Char> void AppendEscape(std::basic_string<Char>& shown, unsigned code) {
    static const char kHex[] = "0123456789ABCDEF";
    shown += static_cast<Char>('\\');
    shown += static_cast<Char>('u');
    for (int shift = 12; shift >= 0; shift -= 4) {
        shown += static_cast<Char>(kHex[(code >> shift) & 0xF]);
    }
}

} // namespace

std::string ShownUserId(std::string_view ansi) {
    std::string shown;
    shown.reserve(ansi.size());
    for (char c : ansi) {
        auto code = static_cast<unsigned char>(c);
        if (IsControl(code)) {
            AppendEscape(shown, code);
        } else {
            shown += c;
        }
    }
    return shown;
}

std::string QuotedUserId(std::string_view ansi) {
    return "\"" + ShownUserId(ansi) + "\"";
}

std::wstring ShownName(std::wstring_view name) {
    std::wstring shown;
    shown.reserve(name.size());
    std::string ansi;
    for (std::size_t i = 0; i < name.size(); ++i) {
        // A surrogate pair is one character of the code page, or none.
        std::size_t units = 1;
        if (name[i] >= 0xD800 && name[i] < 0xDC00 && i + 1 < name.size() && name[i + 1] >= 0xDC00 &&
            name[i + 1] < 0xE000) {
            units = 2;
        }
        std::wstring_view character = name.substr(i, units);
        if ((units == 1 && IsControl(name[i])) || !ToAnsi(character, ansi)) {
            for (wchar_t unit : character) {
                AppendEscape(shown, unit);
            }
        } else {
            shown += character;
        }
        i += units - 1;
    }
    return shown;
}

std::wstring NotInCodePageText(std::wstring_view what) {
    return std::wstring(what) + L" holds a character that this computer's code page (" +
           std::to_wstring(::GetACP()) +
           L") does not have. Use only characters of that code page: certificates are kept and "
           L"their keys derived in it.";
}

std::wstring TooLongText(std::wstring_view what, std::size_t maxBytes) {
    return std::wstring(what) + L" is longer than " + std::to_wstring(maxBytes) +
           L" bytes in this computer's code page (" + std::to_wstring(::GetACP()) + L").";
}

} // namespace fw
