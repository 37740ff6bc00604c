// A certificate file as the export and import commands open it: for this program alone, so no
// other program can open it while a command has it. Windows only; the certificate file's format
// itself (CertificateFile.h) is portable.
#pragma once

#include "CertificateFile.h"
#include "framework/Handles.h"

#include <string>

namespace exchange {

class ExclusiveFile final : public ByteSink, public ByteSource {
  public:
    enum class Mode {
        // Read and write a file that will hold keys: only SYSTEM, the Administrators and the
        // file's owner may open it. A new file is created so. Keys never go into an existing file,
        // which others may be able to read (or hold open): they go into a new, protected file
        // beside it, which replaces it when it is closed. Until then the existing file is held
        // and keeps what it holds; abandoned, it stays as it was.
        // A new file that fails (a failed write, Abandon) is removed: a failed export leaves no
        // file behind.
        CreateProtected,
        // A new file, made as CreateProtected makes one; fails (Exists() true) when the name
        // names a file already, by any of its names (an 8.3 short name included).
        CreateNew,
        OpenExisting, // read only
    };

    // Opens `path`. When the system refuses, IsOpen() is false and Error() says why.
    ExclusiveFile(const std::wstring& path, Mode mode);
    ~ExclusiveFile();
    ExclusiveFile(const ExclusiveFile&) = delete;
    ExclusiveFile& operator=(const ExclusiveFile&) = delete;

    bool IsOpen() const { return m_file.IsValid(); }
    // The system's text for the last failure, such as "Access denied.".
    const std::string& Error() const { return m_error; }
    // Whether CreateNew failed because the name was taken.
    bool Exists() const {
        return m_errorCode == ERROR_FILE_EXISTS || m_errorCode == ERROR_ALREADY_EXISTS;
    }

    bool Write(const char* data, std::size_t size) override;
    bool Read(char* buffer, std::size_t capacity, std::size_t& got) override;
    // Hands what was written to the system for the disk; false when that fails.
    bool Flush();
    // Closes the file, putting what was written in place of a file that existed; false when that
    // fails (the existing file then stays as it was). The destructor abandons a file still open.
    bool Close();
    // Closes the file after a failure: a file that existed stays as it was; a new one is removed.
    void Abandon();

  private:
    void CreateProtected(const std::wstring& path, bool onlyNew);
    bool Failed(const char* what = "");

    fw::UniqueFileHandle m_file;
    // When `path` existed: it, held so that no other program opens it meanwhile, and the new file
    // that takes its place.
    fw::UniqueFileHandle m_existing;
    std::wstring m_path;
    std::wstring m_replacement;
    // Whether the file at `path` was made by this object: it goes again if the writing fails.
    bool m_created = false;
    std::string m_error;
    DWORD m_errorCode = ERROR_SUCCESS;
};

} // namespace exchange
