#include "ExclusiveFile.h"

#include "framework/SystemError.h"

#include <sddl.h>

#include <limits>

namespace exchange {
namespace {

constexpr DWORD kLargestTransfer = std::numeric_limits<DWORD>::max();

// Full access for SYSTEM, the Administrators and the file's owner; protected, so that nothing is
// inherited from the folder (where others may read).
constexpr wchar_t kKeyFileSecurity[] = L"D:P(A;;FA;;;SY)(A;;FA;;;BA)(A;;FA;;;OW)";

DWORD TransferSize(std::size_t size) {
    return size < kLargestTransfer ? static_cast<DWORD>(size) : kLargestTransfer;
}

// A security descriptor made from SDDL text, freed with LocalFree; null if it cannot be made.
class SecurityDescriptor {
  public:
    explicit SecurityDescriptor(const wchar_t* sddl) {
        ::ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl, SDDL_REVISION_1, &m_sd,
                                                               nullptr);
    }
    ~SecurityDescriptor() { ::LocalFree(m_sd); }
    SecurityDescriptor(const SecurityDescriptor&) = delete;
    SecurityDescriptor& operator=(const SecurityDescriptor&) = delete;
    PSECURITY_DESCRIPTOR Get() const { return m_sd; }

  private:
    PSECURITY_DESCRIPTOR m_sd = nullptr;
};

} // namespace

ExclusiveFile::ExclusiveFile(const std::wstring& path, Mode mode) : m_path(path) {
    if (mode != Mode::OpenExisting) {
        CreateProtected(path, mode == Mode::CreateNew);
        return;
    }
    m_file.Reset(::CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!m_file) {
        Failed();
    }
}

ExclusiveFile::~ExclusiveFile() {
    Abandon();
}

void ExclusiveFile::CreateProtected(const std::wstring& path, bool onlyNew) {
    SecurityDescriptor security(kKeyFileSecurity);
    if (security.Get() == nullptr) {
        Failed("The permissions for a file that holds keys could not be made: ");
        return;
    }
    SECURITY_ATTRIBUTES attributes = {sizeof attributes, security.Get(), FALSE};
    // A new file is created closed (and may be removed again); an existing one is only held.
    const DWORD disposition = onlyNew ? CREATE_NEW : OPEN_ALWAYS;
    fw::UniqueFileHandle file(::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE | DELETE, 0,
                                            &attributes, disposition, FILE_ATTRIBUTE_NORMAL,
                                            nullptr));
    if (!file && !onlyNew && ::GetLastError() == ERROR_ACCESS_DENIED) {
        // An existing file that may be written but not deleted is only held, never removed.
        file.Reset(::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, &attributes,
                                 disposition, FILE_ATTRIBUTE_NORMAL, nullptr));
    }
    if (!file) {
        Failed();
        return;
    }
    // A new file is empty and closed; a device (NUL, a pipe) is no file that others could read
    // later. Both are written to.
    bool existed = !onlyNew && ::GetLastError() == ERROR_ALREADY_EXISTS;
    if (!existed || ::GetFileType(file.Get()) != FILE_TYPE_DISK) {
        m_created = !existed && ::GetFileType(file.Get()) == FILE_TYPE_DISK;
        m_file = std::move(file);
        return;
    }
    for (unsigned attempt = 0; attempt < 100 && !m_file; ++attempt) {
        m_replacement = path + L"." + std::to_wstring(::GetCurrentProcessId()) + L"-" +
                        std::to_wstring(attempt) + L".new";
        m_file.Reset(::CreateFileW(m_replacement.c_str(), GENERIC_READ | GENERIC_WRITE, 0,
                                   &attributes, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!m_file && ::GetLastError() != ERROR_FILE_EXISTS) {
            break;
        }
    }
    if (!m_file) {
        Failed("No file to take its place could be made beside it: ");
        m_replacement.clear();
        return;
    }
    m_existing = std::move(file);
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
    if (!::CloseHandle(m_file.Release())) {
        Failed();
        Abandon();
        return false;
    }
    if (m_replacement.empty()) {
        m_created = false;
        return true;
    }
    m_existing.Reset();
    if (!::MoveFileExW(m_replacement.c_str(), m_path.c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        Failed("It could not be replaced: ");
        Abandon();
        return false;
    }
    m_replacement.clear();
    return true;
}

void ExclusiveFile::Abandon() {
    if (m_created && m_file) {
        // Removed as it is closed, so that no other program can take the name meanwhile.
        FILE_DISPOSITION_INFO disposition = {TRUE};
        if (!::SetFileInformationByHandle(m_file.Get(), FileDispositionInfo, &disposition,
                                          sizeof disposition)) {
            m_file.Reset();
            ::DeleteFileW(m_path.c_str());
        }
    }
    m_created = false;
    m_file.Reset();
    m_existing.Reset();
    if (!m_replacement.empty()) {
        ::DeleteFileW(m_replacement.c_str());
        m_replacement.clear();
    }
}

// Keeps `what` and the system's text for the current error; returns false.
bool ExclusiveFile::Failed(const char* what) {
    m_errorCode = ::GetLastError();
    m_error = what + fw::SystemErrorText(m_errorCode);
    return false;
}

} // namespace exchange
