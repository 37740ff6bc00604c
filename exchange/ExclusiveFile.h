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
        CreateOrEmpty, // read and write; an existing file is emptied
        OpenExisting,  // read only
    };

    // Opens `path`. When the system refuses, IsOpen() is false and Error() says why.
    ExclusiveFile(const std::string& path, Mode mode);

    bool IsOpen() const { return m_file.IsValid(); }
    // The system's text for the last failure, such as "Access denied.".
    const std::string& Error() const { return m_error; }

    bool Write(const char* data, std::size_t size) override;
    bool Read(char* buffer, std::size_t capacity, std::size_t& got) override;
    // Hands what was written to the system for the disk; false when that fails.
    bool Flush();
    // Closes the file; false when that fails. The destructor closes a file still open.
    bool Close();

  private:
    bool Failed();

    fw::UniqueFileHandle m_file;
    std::string m_error;
};

} // namespace exchange
