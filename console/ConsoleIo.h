// The console program's standard streams and console: what it prints, what it reads for
// scripts, and what it asks the person at the keyboard. It is also the reporter the store and the
// exchange run on behalf of, so their messages and exceptions go to standard error.
//
// Text that a person types on the console arrives as UTF-16 and is taken in the ANSI code page
// only if every character has its exact equivalent there. Text written to a console window is
// written as characters; written to a pipe or a file, data (user IDs, .reg text) stays the bytes
// the store holds, and messages are written in the ANSI code page.
#pragma once

#include "framework/Reporter.h"
#include "framework/Secret.h"
#include "framework/Win32.h"

#include <string>
#include <string_view>

namespace console {

// How a line typed on the console becomes bytes: in the ANSI code page (user IDs, passwords: the
// keys are derived in it), or in UTF-8 (a backup's passphrase, as gpg takes it).
enum class Encoding { Ansi, Utf8 };

// A line read from standard input or typed on the console.
struct Answer {
    enum class Status {
        Given,         // `text` holds it, without its line end
        Ended,         // the input ended, or the console could not be read
        TooLong,       // more than the limit; not kept
        NotInCodePage, // a character the ANSI code page does not have, or a zero character
    };
    Status status = Status::Ended;
    fw::Secret text; // wiped when given up
};

class ConsoleIo final : public fw::IReporter {
  public:
    ConsoleIo();
    ~ConsoleIo();
    ConsoleIo(const ConsoleIo&) = delete;
    ConsoleIo& operator=(const ConsoleIo&) = delete;

    // Writes data to standard output: bytes in the ANSI code page, unchanged in a pipe or file
    // (line ends included). Returns whether all of it was written.
    bool Out(std::string_view text);
    // Writes a message to standard output.
    bool Out(std::wstring_view text);
    // Writes UTF-8 data to standard output: unchanged in a pipe or file; to a console window as
    // its characters (without a byte-order mark at its start).
    bool OutUtf8(std::string_view utf8);
    // Writes "wardkeepc: " and `text` with its line breaks turned into spaces, and a line end.
    void Error(std::wstring_view text);
    void Error(std::string_view text);

    // The next line of standard input, at most `maxBytes` bytes without its LF or CR LF; a last
    // line without a line end counts. From a pipe or a file the line is taken as bytes of the
    // ANSI code page; typed on a console, without echo, as characters.
    // `encoding` says how a line typed on the console is taken; from a pipe or a file the bytes are
    // taken as they are.
    Answer ReadInputLine(std::size_t maxBytes, Encoding encoding = Encoding::Ansi);

    // Whether a person can be asked: standard input is a console. Redirected (a pipe, a file), it
    // is not, even if the process has a console: an answer read from that console would come from
    // nobody who sees the question, or never.
    bool HasConsole() const;
    // Asks for a line on the standard input's console, showing `prompt` and, unless `secret`,
    // what is typed. Ended at once when standard input is not a console.
    Answer Ask(std::wstring_view prompt, bool secret, std::size_t maxBytes,
               Encoding encoding = Encoding::Ansi);

    // Whether a message or an exception was reported on the store's or the exchange's behalf.
    bool Reported() const { return m_reported; }

    void OnException(const std::exception& e) noexcept override;
    void ShowMessage(const char* text, const char* caption) override;
    // Said on standard error; the command's outcome does not change.
    void OnAuditNotWritten(const std::wstring& text) noexcept override;

  private:
    bool Write(HANDLE handle, std::wstring_view text);
    // A line of bytes from standard input, read ahead in `m_buffer`.
    Answer ReadByteLine(std::size_t maxBytes);

    HANDLE m_out;
    HANDLE m_err;
    HANDLE m_in;
    fw::Secret m_buffer; // standard input read ahead: may hold passwords
    std::size_t m_next = 0;
    bool m_reported = false;
};

} // namespace console
