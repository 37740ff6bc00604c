#include "Shared.h"

#include "framework/SystemError.h"
#include "framework/Text.h"

#include <algorithm>
#include <map>

namespace console {

wchar_t FoldForFileNames(wchar_t character) {
    return fw::Capitals(std::wstring(1, character))[0];
}

namespace {

// Whether `name` matches `pattern`, where * stands for any characters and ? for one, whatever
// the letter case; "*.*" also matches a name without a dot.
bool Matches(std::wstring_view pattern, std::wstring_view name) {
    std::size_t p = 0, n = 0, star = std::wstring_view::npos, resume = 0;
    while (n < name.size()) {
        if (p < pattern.size() && (pattern[p] == L'?' || pattern[p] == name[n])) {
            ++p, ++n;
        } else if (p < pattern.size() && pattern[p] == L'*') {
            star = p++;
            resume = n;
        } else if (star != std::wstring_view::npos) {
            p = star + 1;
            n = ++resume;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == L'*') {
        ++p;
    }
    return p == pattern.size() || pattern.substr(p) == L".*";
}

} // namespace

std::vector<std::wstring> MatchingFiles(const std::wstring& pattern) {
    std::size_t nameStart = pattern.find_last_of(L"\\/:") + 1; // 0 when there is no folder
    if (pattern.find_first_of(L"*?", nameStart) == std::wstring::npos) {
        return {pattern};
    }
    const std::wstring namePattern = Capitals(pattern.substr(nameStart));
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW found;
    HANDLE search = ::FindFirstFileW(pattern.c_str(), &found);
    for (bool more = search != INVALID_HANDLE_VALUE; more; more = ::FindNextFileW(search, &found)) {
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 &&
            Matches(namePattern, Capitals(found.cFileName))) {
            names.push_back(found.cFileName);
        }
    }
    if (search != INVALID_HANDLE_VALUE) {
        ::FindClose(search);
    }
    std::sort(names.begin(), names.end());
    for (std::wstring& name : names) {
        name.insert(0, pattern, 0, nameStart);
    }
    return names;
}

bool IsAnsiLeadByte(unsigned char byte) {
    return ::IsDBCSLeadByte(byte) != FALSE;
}

bool OperandFiles(const Invocation& invocation, ConsoleIo& io, const wchar_t* consequence,
                  std::vector<std::wstring>& paths) {
    for (const std::wstring& operand : invocation.operands) {
        std::vector<std::wstring> matching = MatchingFiles(operand);
        if (matching.empty()) {
            io.Error(L"No file matches " + QuotedPath(operand) + L". " + consequence);
            return false;
        }
        paths.insert(paths.end(), matching.begin(), matching.end());
    }
    return true;
}

bool ReadStorable(const std::wstring& path, const wchar_t* consequence, ConsoleIo& io,
                  exchange::ImportReading& reading) {
    reading = exchange::ReadForImport(path);
    if (reading.status != exchange::ImportReading::Status::Storable) {
        io.Error(exchange::ImportRefusalText(path, reading) + L" " + consequence);
        return false;
    }
    return true;
}

bool ReadCertificates(const std::vector<std::wstring>& paths, ConsoleIo& io,
                      const wchar_t* consequence, bool forRegFile,
                      std::vector<exchange::RegCertificate>& certificates) {
    std::map<std::wstring, std::size_t> byUserId; // in capitals: the file that gave it first
    std::vector<std::size_t> fileOf;              // of each certificate
    for (std::size_t i = 0; i < paths.size(); ++i) {
        exchange::ImportReading reading;
        if (!ReadStorable(paths[i], consequence, io, reading)) {
            return false;
        }
        exchange::CertificateFileContent& content = reading.content;
        // The importer reads the file as text of its code page: other bytes would name another
        // certificate there.
        if (forRegFile && (!exchange::IsRegValueName(content.userId, IsAnsiLeadByte) ||
                           !fw::IsAnsiText(content.userId))) {
            io.Error(QuotedPath(paths[i]) + L" holds a user ID that a .reg file cannot hold. " +
                     consequence);
            return false;
        }
        auto [first, isNew] =
            byUserId.emplace(Capitals(fw::FromAnsi(content.userId)), certificates.size());
        if (isNew) {
            certificates.push_back({std::move(content.userId), content.userKey, content.cookieKey});
            fileOf.push_back(i);
            continue;
        }
        const exchange::RegCertificate& earlier = certificates[first->second];
        if (earlier.userKey != content.userKey || earlier.cookieKey != content.cookieKey) {
            io.Error(QuotedPath(paths[i]) + L" and " + QuotedPath(paths[fileOf[first->second]]) +
                     L" give the user ID " + QuotedId(content.userId) + L" different keys. " +
                     consequence);
            return false;
        }
    }
    return true;
}

bool MakeFolder(const std::wstring& folder, ConsoleIo& io) {
    if (::CreateDirectoryW(folder.c_str(), nullptr)) {
        return true;
    }
    DWORD error = ::GetLastError();
    DWORD attributes = ::GetFileAttributesW(folder.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        return true;
    }
    std::size_t parentEnd = folder.find_last_of(L"\\/");
    if (error == ERROR_PATH_NOT_FOUND && parentEnd != std::wstring::npos && parentEnd > 0 &&
        folder[parentEnd - 1] != L':' && MakeFolder(folder.substr(0, parentEnd), io)) {
        if (::CreateDirectoryW(folder.c_str(), nullptr)) {
            return true;
        }
        error = ::GetLastError();
    }
    io.Error(L"The folder " + QuotedPath(folder) + L" could not be made: " +
             fw::FromAnsi(fw::SystemErrorText(error)) + L" Nothing was written.");
    return false;
}

std::wstring AbsoluteIfDriveRelative(const std::wstring& folder) {
    wchar_t drive = folder.empty() ? L'\0' : static_cast<wchar_t>(folder[0] | 0x20);
    if (folder.size() < 2 || drive < L'a' || drive > L'z' || folder[1] != L':' ||
        (folder.size() > 2 && (folder[2] == L'\\' || folder[2] == L'/'))) {
        return folder;
    }
    DWORD size = ::GetFullPathNameW(folder.c_str(), 0, nullptr, nullptr);
    std::wstring full(size, L'\0');
    DWORD length = size == 0 ? 0 : ::GetFullPathNameW(folder.c_str(), size, &full[0], nullptr);
    if (length == 0 || length >= size) {
        return folder;
    }
    full.resize(length);
    // "D:" may come back with a backslash at its end (under Wine): it is named as any folder.
    if (full.size() > 3 && full.back() == L'\\') {
        full.pop_back();
    }
    return full;
}

} // namespace console
