#include "ExclusiveFile.h"

#include "framework/SystemError.h"

#include <limits>

namespace exchange {
namespace {

constexpr DWORD kLargestTransfer = std::numeric_limits<DWORD>::max();

DWORD TransferSize(std::size_t size) {
    return size < kLargestTransfer ? static_cast<DWORD>(size) : kLargestTransfer;
}

} // namespace

ExclusiveFile::ExclusiveFile(const std::string& path, Mode mode) {
    bool create = mode == Mode::CreateOrEmpty;
    m_file.Reset(::CreateFileA(path.c_str(), create ? GENERIC_READ | GENERIC_WRITE : GENERIC_READ,
                               0, nullptr, create ? CREATE_ALWAYS : OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!m_file) {
        Failed();
    }
}

bool ExclusiveFile::Write(const char* data, std::size_t size) {
    while (size > 0) {
        DWORD written = 0;
        if (!::WriteFile(m_file.Get(), data, TransferSize(size), &written, nullptr) ||
            written == 0) {
            return Failed();
        }
        data += written;
        size -= written;
    }
    return true;
}

bool ExclusiveFile::Read(char* buffer, std::size_t capacity, std::size_t& got) {
    DWORD read = 0;
    if (!::ReadFile(m_file.Get(), buffer, TransferSize(capacity), &read, nullptr)) {
        got = 0;
        return Failed();
    }
    got = read;
    return true;
}

bool ExclusiveFile::Flush() {
    return ::FlushFileBuffers(m_file.Get()) || Failed();
}

bool ExclusiveFile::Close() {
    return ::CloseHandle(m_file.Release()) || Failed();
}

// Keeps the system's text for the current error; returns false.
bool ExclusiveFile::Failed() {
    m_error = fw::SystemErrorText(::GetLastError());
    return false;
}

} // namespace exchange
