#include "ConsoleIo.h"

#include "framework/Exceptions.h"
#include "framework/Handles.h"
#include "framework/Text.h"

namespace console {

namespace {

constexpr DWORD kChunk = 4096;

bool IsConsole(HANDLE handle) {
    DWORD mode = 0;
    return ::GetConsoleMode(handle, &mode) != FALSE;
}

// Whether every byte was written.
bool WriteAll(HANDLE handle, const char* data, std::size_t size) {
    while (size > 0) {
        DWORD written = 0;
        DWORD chunk = size < kChunk ? static_cast<DWORD>(size) : kChunk;
        if (!::WriteFile(handle, data, chunk, &written, nullptr) || written == 0) {
            return false;
        }
        data += written;
        size -= written;
    }
    return true;
}

bool WriteConsoleText(HANDLE console, std::wstring_view text) {
    while (!text.empty()) {
        DWORD written = 0;
        DWORD chunk = text.size() < kChunk ? static_cast<DWORD>(text.size()) : kChunk;
        if (!::WriteConsoleW(console, text.data(), chunk, &written, nullptr) || written == 0) {
            return false;
        }
        text.remove_prefix(written);
    }
    return true;
}

// The console's own output, whatever standard output is redirected to: where a question's prompt
// goes. (Its input is never opened by name: a question is read from standard input, and only when
// that is the console.)
fw::UniqueFileHandle OpenConsole(const wchar_t* name) {
    return fw::UniqueFileHandle(::CreateFileW(name, GENERIC_READ | GENERIC_WRITE,
                                              FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                              OPEN_EXISTING, 0, nullptr));
}

// Judges a line: too long, not taken, or given.
Answer Judged(fw::Secret line, bool tooLong, std::size_t maxBytes) {
    Answer answer;
    if (tooLong || line.Size() > maxBytes) {
        answer.status = Answer::Status::TooLong;
    } else if (line.Get().find('\0') != std::string_view::npos) {
        answer.status = Answer::Status::NotInCodePage;
    } else {
        answer.status = Answer::Status::Given;
        answer.text = std::move(line);
    }
    return answer;
}

// A line typed on console input `input`, as characters, converted to the ANSI code page.
Answer ReadConsoleLine(HANDLE input, std::size_t maxBytes, Encoding encoding) {
    fw::WideSecret line;
    fw::WideSecret chunk;
    chunk.Resize(256);
    bool any = false;
    bool tooLong = false;
    for (bool ended = false; !ended;) {
        DWORD got = 0;
        if (!::ReadConsoleW(input, chunk.Buffer(), static_cast<DWORD>(chunk.Size()), &got,
                            nullptr) ||
            got == 0) {
            break;
        }
        any = true;
        std::wstring_view text(chunk.Data(), got);
        if (std::size_t lineFeed = text.find(L'\n'); lineFeed != std::wstring_view::npos) {
            text = text.substr(0, lineFeed);
            ended = true;
        }
        // Every character takes a byte at least: more characters than bytes is too long.
        if (line.Size() + text.size() > maxBytes + 1) {
            tooLong = true;
        } else {
            line.Append(text);
        }
    }
    chunk.Clear();
    if (!any) {
        return Answer();
    }
    if (!line.Empty() && line.Get().back() == L'\r') {
        line.Resize(line.Size() - 1);
    }
    fw::Secret ansi;
    bool taken =
        encoding == Encoding::Utf8 ? fw::ToUtf8(line.Get(), ansi) : fw::ToAnsi(line.Get(), ansi);
    if (!tooLong && !taken) {
        Answer answer;
        answer.status = Answer::Status::NotInCodePage;
        return answer;
    }
    return Judged(std::move(ansi), tooLong, maxBytes);
}

// Reads a line from console input `input` without echo, if `secret`, and ends the line on the
// console, since the Enter is not echoed either.
Answer ReadConsoleLineQuietly(HANDLE input, HANDLE output, bool secret, std::size_t maxBytes,
                              Encoding encoding) {
    DWORD mode = 0;
    ::GetConsoleMode(input, &mode);
    if (secret) {
        ::SetConsoleMode(input, (mode & ~DWORD{ENABLE_ECHO_INPUT}) | ENABLE_LINE_INPUT);
    }
    Answer answer = ReadConsoleLine(input, maxBytes, encoding);
    if (secret) {
        ::SetConsoleMode(input, mode);
        WriteConsoleText(output, L"\r\n");
    }
    return answer;
}

} // namespace

ConsoleIo::ConsoleIo()
    : m_out(::GetStdHandle(STD_OUTPUT_HANDLE)), m_err(::GetStdHandle(STD_ERROR_HANDLE)),
      m_in(::GetStdHandle(STD_INPUT_HANDLE)) {}

ConsoleIo::~ConsoleIo() = default;

bool ConsoleIo::Write(HANDLE handle, std::wstring_view text) {
    if (IsConsole(handle)) {
        return WriteConsoleText(handle, text);
    }
    // A message: a character the code page lacks (in a file name) is shown as "?", not as a
    // look-alike.
    std::string ansi = fw::MessageToAnsi(text);
    return WriteAll(handle, ansi.data(), ansi.size());
}

bool ConsoleIo::Out(std::string_view text) {
    if (IsConsole(m_out)) {
        return WriteConsoleText(m_out, fw::FromAnsi(text));
    }
    return WriteAll(m_out, text.data(), text.size());
}

bool ConsoleIo::OutUtf8(std::string_view utf8) {
    if (!IsConsole(m_out)) {
        return WriteAll(m_out, utf8.data(), utf8.size());
    }
    if (utf8.substr(0, 3) == "\xEF\xBB\xBF") {
        utf8.remove_prefix(3);
    }
    int length = static_cast<int>(utf8.size());
    int chars = ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), length, nullptr, 0);
    std::wstring text(chars > 0 ? static_cast<std::size_t>(chars) : 0, L'\0');
    if (chars > 0) {
        ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), length, &text[0], chars);
    }
    return WriteConsoleText(m_out, text);
}

bool ConsoleIo::Out(std::wstring_view text) {
    return Write(m_out, text);
}

void ConsoleIo::Error(std::wstring_view text) {
    std::wstring line = L"wardkeepc: " + std::wstring(text);
    for (wchar_t& c : line) {
        if (c == L'\n' || c == L'\r') {
            c = L' ';
        }
    }
    Write(m_err, line + L"\r\n");
}

void ConsoleIo::Error(std::string_view text) {
    Error(fw::FromAnsi(text));
}

Answer ConsoleIo::ReadByteLine(std::size_t maxBytes) {
    fw::Secret line; // at most one byte past the limit
    bool any = false;
    bool tooLong = false;
    for (;;) {
        if (m_next == m_buffer.Size()) {
            m_buffer.Clear();
            m_buffer.Resize(kChunk);
            DWORD got = 0;
            if (!::ReadFile(m_in, m_buffer.Buffer(), kChunk, &got, nullptr) || got == 0) {
                m_buffer.Clear();
                m_next = 0;
                break;
            }
            m_buffer.Resize(got);
            m_next = 0;
        }
        any = true;
        char byte = m_buffer.Data()[m_next++];
        if (byte == '\n') {
            break;
        }
        if (line.Size() <= maxBytes) {
            line.Append(byte);
        } else {
            tooLong = true;
        }
    }
    if (!any) {
        return Answer();
    }
    // A CR before the line end is dropped only when the whole line was kept.
    if (!tooLong && !line.Empty() && line.Get().back() == '\r') {
        line.Resize(line.Size() - 1);
    }
    return Judged(std::move(line), tooLong, maxBytes);
}

Answer ConsoleIo::ReadInputLine(std::size_t maxBytes, Encoding encoding) {
    if (!IsConsole(m_in)) {
        return ReadByteLine(maxBytes);
    }
    fw::UniqueFileHandle output = OpenConsole(L"CONOUT$");
    return ReadConsoleLineQuietly(m_in, output.Get(), true, maxBytes, encoding);
}

bool ConsoleIo::HasConsole() const {
    return IsConsole(m_in);
}

Answer ConsoleIo::Ask(std::wstring_view prompt, bool secret, std::size_t maxBytes,
                      Encoding encoding) {
    fw::UniqueFileHandle output = OpenConsole(L"CONOUT$");
    if (!output || !HasConsole()) {
        return Answer();
    }
    WriteConsoleText(output.Get(), prompt);
    return ReadConsoleLineQuietly(m_in, output.Get(), secret, maxBytes, encoding);
}

void ConsoleIo::OnException(const std::exception& e) noexcept {
    m_reported = true;
    char text[255];
    fw::GetErrorMessage(e, text, sizeof text);
    try {
        Error(std::string_view(text[0] != '\0' ? text : "The operation failed unexpectedly."));
    } catch (...) {
        // Out of memory while reporting: the fixed text needs no allocation.
        static const char kOutOfMemory[] = "wardkeepc: Out of memory.\r\n";
        DWORD written = 0;
        ::WriteFile(m_err, kOutOfMemory, sizeof kOutOfMemory - 1, &written, nullptr);
    }
}

void ConsoleIo::ShowMessage(const char* text, const char* caption) {
    m_reported = true;
    Error(std::string(caption) + " " + text);
}

void ConsoleIo::OnAuditNotWritten(const std::wstring& text) noexcept {
    try {
        Error(text);
    } catch (...) {
        // Standard error is all there is to tell it on.
    }
}

} // namespace console
