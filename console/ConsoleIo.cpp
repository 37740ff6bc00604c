#include "ConsoleIo.h"

#include "framework/Exceptions.h"
#include "framework/Handles.h"

namespace console {

namespace {

constexpr DWORD kChunk = 4096;

// Whether every byte was written.
bool WriteAll(HANDLE handle, const std::string& text) {
    const char* data = text.data();
    std::size_t left = text.size();
    while (left > 0) {
        DWORD written = 0;
        DWORD chunk = left < kChunk ? static_cast<DWORD>(left) : kChunk;
        if (!::WriteFile(handle, data, chunk, &written, nullptr) || written == 0) {
            return false;
        }
        data += written;
        left -= written;
    }
    return true;
}

// The console's own input and output, whatever the standard streams are redirected to.
fw::UniqueFileHandle OpenConsole(const char* name) {
    return fw::UniqueFileHandle(::CreateFileA(name, GENERIC_READ | GENERIC_WRITE,
                                              FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                              OPEN_EXISTING, 0, nullptr));
}

} // namespace

ConsoleIo::ConsoleIo()
    : m_out(::GetStdHandle(STD_OUTPUT_HANDLE)), m_err(::GetStdHandle(STD_ERROR_HANDLE)),
      m_in(::GetStdHandle(STD_INPUT_HANDLE)) {}

bool ConsoleIo::Out(const std::string& text) {
    return WriteAll(m_out, text);
}

void ConsoleIo::Error(const std::string& text) {
    std::string line = "wardkeepc: " + text;
    for (char& c : line) {
        if (c == '\n' || c == '\r') {
            c = ' ';
        }
    }
    WriteAll(m_err, line + "\r\n");
}

bool ConsoleIo::ReadByte(HANDLE handle, bool buffered, char& byte) {
    if (!buffered) {
        DWORD got = 0;
        return ::ReadFile(handle, &byte, 1, &got, nullptr) && got == 1;
    }
    if (m_next == m_buffer.size()) {
        m_buffer.resize(kChunk);
        DWORD got = 0;
        if (!::ReadFile(handle, &m_buffer[0], kChunk, &got, nullptr) || got == 0) {
            m_buffer.clear();
            m_next = 0;
            return false;
        }
        m_buffer.resize(got);
        m_next = 0;
    }
    byte = m_buffer[m_next++];
    return true;
}

std::optional<std::string> ConsoleIo::ReadLine(HANDLE handle, bool buffered, std::size_t maxChars,
                                               bool& tooLong) {
    std::string line; // at most one character past the limit
    std::size_t length = 0;
    bool any = false;
    char byte = 0;
    while (ReadByte(handle, buffered, byte)) {
        any = true;
        if (byte == '\n') {
            break;
        }
        ++length;
        if (line.size() <= maxChars) {
            line += byte;
        }
    }
    if (!any) {
        return std::nullopt;
    }
    if (length == line.size() && !line.empty() && line.back() == '\r') {
        line.pop_back();
        --length;
    }
    tooLong = length > maxChars;
    if (tooLong) {
        line.clear();
    }
    return line;
}

std::optional<std::string> ConsoleIo::ReadInputLine(std::size_t maxChars, bool& tooLong) {
    return ReadLine(m_in, true, maxChars, tooLong);
}

bool ConsoleIo::HasConsole() const {
    fw::UniqueFileHandle input = OpenConsole("CONIN$");
    DWORD mode = 0;
    return input && ::GetConsoleMode(input.Get(), &mode);
}

std::optional<std::string> ConsoleIo::Ask(const std::string& prompt, bool secret,
                                          std::size_t maxChars, bool& tooLong) {
    fw::UniqueFileHandle input = OpenConsole("CONIN$");
    fw::UniqueFileHandle output = OpenConsole("CONOUT$");
    DWORD mode = 0;
    if (!input || !output || !::GetConsoleMode(input.Get(), &mode)) {
        return std::nullopt;
    }
    WriteAll(output.Get(), prompt);
    if (secret) {
        ::SetConsoleMode(input.Get(), (mode & ~DWORD{ENABLE_ECHO_INPUT}) | ENABLE_LINE_INPUT);
    }
    std::optional<std::string> answer = ReadLine(input.Get(), false, maxChars, tooLong);
    if (secret) {
        ::SetConsoleMode(input.Get(), mode);
        WriteAll(output.Get(), "\r\n"); // the Enter was not echoed either
    }
    return answer;
}

void ConsoleIo::OnException(const std::exception& e) noexcept {
    m_reported = true;
    char text[255];
    fw::GetErrorMessage(e, text, sizeof text);
    try {
        Error(text[0] != '\0' ? text : "The operation failed unexpectedly.");
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

} // namespace console
