// The framework's own exception class and the error text of any exception a handler may raise.
#pragma once

#include <cstddef>
#include <exception>
#include <string>

namespace fw {

// Raised by framework and program code for failures that a dialog reports to the user.
// An empty text is allowed: the report then carries no error text.
class CFrameworkException : public std::exception {
  public:
    explicit CFrameworkException(std::string text = std::string()) : m_text(std::move(text)) {}
    const char* what() const noexcept override { return m_text.c_str(); }

  private:
    std::string m_text;
};

// Copies the error text of `e` into `buffer` (`size` bytes, terminator included), cut to fit.
// Memory exhaustion reads "Out of memory."; an exception without text yields "".
// Allocates nothing, so it is safe to call while memory is exhausted.
void GetErrorMessage(const std::exception& e, char* buffer, std::size_t size) noexcept;

} // namespace fw
