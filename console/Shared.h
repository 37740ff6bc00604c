// What the console program's commands share: the command line as parsed, how they name user IDs
// and files, how they ask, and the files and folders they take. Each command family has a file of
// its own; CommandLine.cpp lists them all.
#pragma once

#include "Commands.h"
#include "ConsoleIo.h"

#include "exchange/CertificateTransfer.h"
#include "exchange/RegFile.h"
#include "framework/Secret.h"
#include "framework/Text.h"

#include <optional>
#include <string>
#include <vector>

namespace console {

// Options a command may take.
enum Option : unsigned {
    kPasswordStdin = 1,
    kYes = 2,
    kOutput = 4,
    kAll = 8,
    kExact = 16,
    kFormat = 32,
    kPassphraseStdin = 64,
};

// The command line as typed: UTF-16, converted only where a user ID is meant.
struct Invocation {
    std::vector<std::wstring> operands;
    unsigned options = 0;
    std::wstring output; // with kOutput
    std::wstring format; // with kFormat
};

// ---- The commands (each in its own file) ------------------------------------------------------

int List(const Invocation& invocation, ConsoleIo& io);      // ListCommand.cpp
int New(const Invocation& invocation, ConsoleIo& io);       // KeyCommands.cpp
int Passwd(const Invocation& invocation, ConsoleIo& io);    //
int Delete(const Invocation& invocation, ConsoleIo& io);    //
int Export(const Invocation& invocation, ConsoleIo& io);    // ExchangeCommands.cpp
int Import(const Invocation& invocation, ConsoleIo& io);    //
int Check(const Invocation& invocation, ConsoleIo& io);     //
int Verify(const Invocation& invocation, ConsoleIo& io);    // VerifyCommand.cpp
int ExportAll(const Invocation& invocation, ConsoleIo& io); // ExportAll.cpp
int Reg(const Invocation& invocation, ConsoleIo& io);       // RegCommand.cpp
int Backup(const Invocation& invocation, ConsoleIo& io);    // BackupCommands.cpp
int Restore(const Invocation& invocation, ConsoleIo& io);   //

// Stores `certificates` all or nothing, as an import does: one question for those whose
// CookieKey would be replaced, nothing written if the store changed since, and one line saying
// how many were new, replaced or unchanged (`sayOne`: for a single file, which one).
int StoreAll(const Invocation& invocation, ConsoleIo& io,
             const std::vector<exchange::RegCertificate>& certificates, bool sayOne);

// Says `problem` and where the usage of `command` (none: of the program) is described; returns
// kUsageError.
int UsageError(ConsoleIo& io, const std::wstring& problem, const std::string& command);

// ---- Names and output (Shared.cpp) ----------------------------------------------------------

// A user ID in a message, in quotes, its control characters escaped (fw::ShownUserId): a name
// can neither rewrite the line nor forge another.
std::string Quoted(const std::string& userId);
std::wstring QuotedId(const std::string& userId);
// "a", "b" and "c"; past ten names, "a", "b", ... "j" and 5 more.
std::string QuotedList(const std::vector<std::string>& userIds);
using exchange::QuotedPath;

// Why the certificate of `userId` was not exported, for a result other than Exported.
std::wstring NotExportedText(const std::string& userId, const exchange::ExportResult& result);

// Said when another program changed the certificates of `userIds` after the command looked at
// them to ask its question (or to find that none was needed): what it would do was decided on a
// store that is no longer there.
std::string StoreChangedText(const std::vector<std::string>& userIds, const char* nothing);

// Operand `index` as a user ID in the ANSI code page. False, said on standard error, when a
// character has no exact equivalent there: a look-alike would name another certificate.
bool TakeUserId(const Invocation& invocation, std::size_t index, ConsoleIo& io,
                std::string& userId);

// True, said on standard error, when the process is not elevated: the store is opened with full
// access, which only an elevated process has.
bool RefuseUnlessElevated(ConsoleIo& io);

// Writes output that a script reads; false, said on standard error, when it did not all arrive.
bool Print(ConsoleIo& io, std::string_view text);
bool Print(ConsoleIo& io, std::wstring_view text);
// The same for UTF-8 text, whatever the code page.
bool PrintUtf8(ConsoleIo& io, std::string_view utf8);

// ---- Questions (Questions.cpp) ----------------------------------------------------------------

// A password asked for: its prompt on the console, and its name in messages.
struct PasswordPrompt {
    const wchar_t* prompt;
    const wchar_t* name;
};

// The answers to `prompts`, from standard input (one line each, in order) or asked on the
// console without echo. Nothing when an answer is missing, too long or not in the code page (said
// on standard error); `failure` is then the exit code.
std::optional<std::vector<fw::Secret>> ReadPasswords(const Invocation& invocation,
                                                     std::initializer_list<PasswordPrompt> prompts,
                                                     ConsoleIo& io, int& failure);

// The longest passphrase taken, in UTF-8 bytes.
constexpr std::size_t kMaxPassphraseBytes = 1024;

// A backup's passphrase in UTF-8: from standard input with --passphrase-stdin (one line, a CR
// before its end not part of it), else asked on the console without echo, `twice` when it makes
// a backup. Nothing when it is missing, empty, too long or typed differently twice (said on
// standard error); `failure` is then the exit code.
std::optional<fw::Secret> ReadPassphrase(const Invocation& invocation, bool twice, ConsoleIo& io,
                                         int& failure);

// Asks `question` on the console before something is lost, unless --yes answered it. Returns
// kSucceeded to go on; otherwise kFailed, said on standard error with `declined`. Only standard
// input that is a console is asked: redirected (a pipe, a file, --password-stdin), nobody who sees
// the question could answer it there, and a console the process has beside it may never answer.
// The answer is then No, at once.
int Confirm(const Invocation& invocation, ConsoleIo& io, const std::wstring& question,
            const std::wstring& declined);

// The question before a certificate with another CookieKey replaces it: the window's, on one line.
std::wstring ReplaceQuestion(const std::string& userId);

// ---- Files and folders (Files.cpp) ------------------------------------------------------------

using fw::Capitals;
// `character` folded as the file system compares names (as Capitals does).
wchar_t FoldForFileNames(wchar_t character);

// The files that `pattern` names: itself, or when it holds a wildcard (* or ?) in its last part,
// the files whose long names match, in the order of their names. The command prompt leaves
// wildcards to the program, and a thousand certificate files would not fit on one command line.
// The system's own search also matches short (8.3) names: "*.crt" would find "alice.crt_old".
std::vector<std::wstring> MatchingFiles(const std::wstring& pattern);

// The files that the operands name, each operand itself or the files its wildcards match. False,
// said on standard error with `consequence`, when a wildcard matches no file.
bool OperandFiles(const Invocation& invocation, ConsoleIo& io, const wchar_t* consequence,
                  std::vector<std::wstring>& paths);

// Reads `path` as an import would; false when it would be refused, said on standard error with
// `consequence`.
bool ReadStorable(const std::wstring& path, const wchar_t* consequence, ConsoleIo& io,
                  exchange::ImportReading& reading);

// The importing machine reads a .reg file in its ANSI code page, as the store's names are kept.
bool IsAnsiLeadByte(unsigned char byte);

// The certificates of the files, each user ID once, every file read and judged: false, said on
// standard error with `consequence`, when any would be refused. A user ID that two files give
// different keys (the registry takes names whatever their letter case) is refused, naming both
// files: one would silently win. For a .reg file (`forRegFile`) a user ID must also be one that
// the registry importer reads back as the same name.
bool ReadCertificates(const std::vector<std::wstring>& paths, ConsoleIo& io,
                      const wchar_t* consequence, bool forRegFile,
                      std::vector<exchange::RegCertificate>& certificates);

// Makes `folder` and the folders above it that are missing; false, said on standard error, when
// the system refuses.
bool MakeFolder(const std::wstring& folder, ConsoleIo& io);

// `folder`, made absolute when it is drive-relative ("D:" or "D:backup": relative to the current
// folder of that drive, which the command line does not show), so that what a command names is
// where the files are.
std::wstring AbsoluteIfDriveRelative(const std::wstring& folder);

} // namespace console
