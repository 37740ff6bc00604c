// The console program's standard streams and console: what it prints, what it reads for
// scripts, and what it asks the person at the keyboard. It is also the reporter the store and the
// exchange run on behalf of, so their messages and exceptions go to standard error.
#pragma once

#include "framework/Reporter.h"
#include "framework/Win32.h"

#include <optional>
#include <string>

namespace console {

class ConsoleIo final : public fw::IReporter {
  public:
    ConsoleIo();

    // Writes `text` to standard output as it is, bytes unchanged (line ends included). Returns
    // whether all of it was written.
    bool Out(const std::string& text);
    // Writes "wardkeepc: " and `text` with its line breaks turned into spaces, and a line end.
    void Error(const std::string& text);

    // The next line of standard input without its LF or CR LF; nothing at the end of the input.
    // A last line without a line end counts. `tooLong` is set when the line held more than
    // `maxChars` characters (they are not kept).
    std::optional<std::string> ReadInputLine(std::size_t maxChars, bool& tooLong);

    // Whether a person can be asked: the process has a console to read from.
    bool HasConsole() const;
    // Asks for a line on the console, echoing `prompt` and, unless `secret`, what is typed.
    // Nothing when the console cannot be read. The same limit as ReadInputLine applies.
    std::optional<std::string> Ask(const std::string& prompt, bool secret, std::size_t maxChars,
                                   bool& tooLong);

    // Whether a message or an exception was reported on the store's or the exchange's behalf.
    bool Reported() const { return m_reported; }

    void OnException(const std::exception& e) noexcept override;
    void ShowMessage(const char* text, const char* caption) override;

  private:
    // Reads one line from `handle` (buffered for standard input), as ReadInputLine.
    std::optional<std::string> ReadLine(HANDLE handle, bool buffered, std::size_t maxChars,
                                        bool& tooLong);
    bool ReadByte(HANDLE handle, bool buffered, char& byte);

    HANDLE m_out;
    HANDLE m_err;
    HANDLE m_in;
    std::string m_buffer; // standard input read ahead
    std::size_t m_next = 0;
    bool m_reported = false;
};

} // namespace console
