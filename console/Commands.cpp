#include "Commands.h"

#include "exchange/CertificateTransfer.h"
#include "exchange/ExclusiveFile.h"
#include "exchange/RegFile.h"
#include "framework/SystemError.h"
#include "framework/Text.h"
#include "keys/KeyBytes.h"
#include "store/CertificateStore.h"
#include "store/Certificates.h"

#include <algorithm>
#include <map>
#include <optional>

namespace console {

namespace {

const char kOverview[] =
    "usage: wardkeepc COMMAND [OPTIONS] [ARGUMENTS]\r\n"
    "\r\n"
    "Manages the certificates of this machine's store and certificate files (.crt).\r\n"
    "\r\n"
    "Commands:\r\n"
    "  list               print the user IDs in the store, one per line\r\n"
    "  new USER           create the certificate of USER (asks before replacing one)\r\n"
    "  passwd USER        change the password of USER's certificate\r\n"
    "  delete USER        delete the certificate of USER\r\n"
    "  export USER FILE   write the certificate of USER to a certificate file\r\n"
    "  import FILE        store the certificate of a certificate file (asks before\r\n"
    "                     replacing one with another CookieKey)\r\n"
    "  check FILE         say what an import of FILE would store, changing nothing\r\n"
    "  reg FILE...        turn certificate files into one .reg file\r\n"
    "\r\n"
    "\"wardkeepc COMMAND --help\" describes a command. Exit codes: 0 success, 1 refused or\r\n"
    "failed (said on standard error), 2 usage error.\r\n";

// Options a command may take.
enum Option : unsigned { kPasswordStdin = 1, kYes = 2, kOutput = 4 };

// The command line as typed: UTF-16, converted only where a user ID is meant.
struct Invocation {
    std::vector<std::wstring> operands;
    unsigned options = 0;
    std::wstring output; // with kOutput
};

struct Command {
    const char* name;
    std::size_t minOperands;
    std::size_t maxOperands;
    unsigned allowedOptions;
    const char* help;
    int (*run)(const Invocation&, ConsoleIo&);
};

std::string Quoted(const std::string& text) {
    return "\"" + text + "\"";
}

// A user ID in a message.
std::wstring QuotedId(const std::string& userId) {
    return fw::FromAnsi(Quoted(userId));
}

using exchange::QuotedPath;

// Operand `index` as a user ID in the ANSI code page. False, said on standard error, when a
// character has no exact equivalent there: a look-alike would name another certificate.
bool TakeUserId(const Invocation& invocation, std::size_t index, ConsoleIo& io,
                std::string& userId) {
    const std::wstring& operand = invocation.operands[index];
    if (fw::ToAnsi(operand, userId)) {
        return true;
    }
    io.Error(fw::NotInCodePageText(L"The user ID " + QuotedPath(operand)));
    return false;
}

// The store is opened with full access, which only an elevated process has.
bool Elevated() {
    SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
    PSID administrators = nullptr;
    if (!::AllocateAndInitializeSid(&nt, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0,
                                    0, 0, 0, 0, 0, &administrators)) {
        return false;
    }
    BOOL member = FALSE;
    bool checked = ::CheckTokenMembership(nullptr, administrators, &member);
    ::FreeSid(administrators);
    return checked && member;
}

bool RefuseUnlessElevated(ConsoleIo& io) {
    if (Elevated()) {
        return false;
    }
    io.Error("The certificate store can only be used from an elevated prompt "
             "(Run as administrator).");
    return true;
}

// Writes output that a script reads; false, said on standard error, when it did not all arrive.
bool Print(ConsoleIo& io, std::string_view text) {
    if (io.Out(text)) {
        return true;
    }
    io.Error("Standard output could not be written: " + fw::SystemErrorText(::GetLastError()));
    return false;
}

// A password asked for: its prompt on the console, and its name in messages.
struct PasswordPrompt {
    const char* prompt;
    const wchar_t* name;
};

// The answers to `prompts`, from standard input (one line each, in order) or asked on the
// console without echo. Nothing when an answer is missing, too long or not in the code page (said
// on standard error).
std::optional<std::vector<fw::Secret>> ReadPasswords(const Invocation& invocation,
                                                     std::initializer_list<PasswordPrompt> prompts,
                                                     ConsoleIo& io, int& failure) {
    bool fromInput = (invocation.options & kPasswordStdin) != 0;
    if (!fromInput && !io.HasConsole()) {
        io.Error("No console to ask for the passwords on: give them on standard input with "
                 "--password-stdin.");
        failure = kUsageError;
        return std::nullopt;
    }
    failure = kFailed;
    std::vector<fw::Secret> answers;
    for (const PasswordPrompt& prompt : prompts) {
        Answer answer = fromInput ? io.ReadInputLine(keys::kMaxPasswordChars)
                                  : io.Ask(prompt.prompt, true, keys::kMaxPasswordChars);
        switch (answer.status) {
        case Answer::Status::Given:
            answers.push_back(std::move(answer.text));
            continue;
        case Answer::Status::Ended:
            io.Error(fromInput ? "Standard input ended before every password was given."
                               : "The console could not be read.");
            break;
        case Answer::Status::TooLong:
            io.Error(fw::TooLongText(prompt.name, keys::kMaxPasswordChars));
            break;
        case Answer::Status::NotInCodePage:
            io.Error(fw::NotInCodePageText(prompt.name));
            break;
        }
        return std::nullopt;
    }
    return answers;
}

// Asks `question` on the console before something is lost, unless --yes answered it. Returns
// kSucceeded to go on; otherwise the exit code, said on standard error with `declined`.
int Confirm(const Invocation& invocation, ConsoleIo& io, const std::string& question,
            const std::string& declined) {
    if ((invocation.options & kYes) != 0) {
        return kSucceeded;
    }
    if (!io.HasConsole()) {
        io.Error("No console to ask on: " + declined + " Confirm with --yes.");
        return kUsageError;
    }
    Answer answer = io.Ask(question + " [y/N] ", false, 3);
    std::string_view text = answer.text.Get();
    if (answer.status != Answer::Status::Given || (text != "y" && text != "Y" && text != "yes")) {
        io.Error(declined);
        return kFailed;
    }
    return kSucceeded;
}

// The console's question before a certificate with another CookieKey replaces it.
std::string ReplaceQuestion(const std::string& userId) {
    return "Replace the certificate of " + Quoted(userId) +
           "? Files encrypted under it can no longer be decrypted once it is replaced.";
}

int List(const Invocation&, ConsoleIo& io) {
    if (RefuseUnlessElevated(io)) {
        return kFailed;
    }
    std::string text;
    for (const std::string& userId : store::ListUserIds(io)) {
        text += userId + "\r\n";
    }
    return Print(io, text) && !io.Reported() ? kSucceeded : kFailed;
}

int New(const Invocation& invocation, ConsoleIo& io) {
    std::string userId;
    if (!TakeUserId(invocation, 0, io, userId)) {
        return kUsageError;
    }
    if (RefuseUnlessElevated(io)) {
        return kFailed;
    }
    const auto maxUserIdBytes = static_cast<std::size_t>(store::kMaxListedUserIdChars);
    if (userId.size() > maxUserIdBytes) {
        io.Error(fw::TooLongText(L"The user ID " + QuotedId(userId), maxUserIdBytes) +
                 L" Its certificate could never be listed.");
        return kFailed;
    }
    int failure = kFailed;
    auto passwords = ReadPasswords(
        invocation,
        {{"Password: ", L"The password"}, {"Retype password: ", L"The retyped password"}}, io,
        failure);
    if (!passwords) {
        return failure;
    }
    if ((*passwords)[0] != (*passwords)[1]) {
        io.Error("Passwords need to be identical! Nothing was stored for " + Quoted(userId) + ".");
        return kFailed;
    }
    if (store::NewCertificateReplaces(io, userId)) {
        int answer = Confirm(invocation, io, ReplaceQuestion(userId),
                             "Nothing was stored for " + Quoted(userId) + ".");
        if (answer != kSucceeded) {
            return answer;
        }
    }
    store::SaveResult result = store::SaveResult::UserKeyRefused;
    if (!io.Guarded([&] {
            result =
                store::SaveNewCertificate(io, userId, (*passwords)[0].Get(), (*passwords)[1].Get());
        })) {
        return kFailed;
    }
    if (result != store::SaveResult::Saved) {
        io.Error(store::CertificateNotSavedText(userId, result));
        return kFailed;
    }
    io.Out(L"Stored the certificate of " + QuotedId(userId) + L".\r\n");
    return kSucceeded;
}

int Passwd(const Invocation& invocation, ConsoleIo& io) {
    std::string userId;
    if (!TakeUserId(invocation, 0, io, userId)) {
        return kUsageError;
    }
    if (RefuseUnlessElevated(io)) {
        return kFailed;
    }
    int failure = kFailed;
    auto passwords = ReadPasswords(invocation,
                                   {{"Old password: ", L"The old password"},
                                    {"New password: ", L"The new password"},
                                    {"Retype new password: ", L"The retyped new password"}},
                                   io, failure);
    if (!passwords) {
        return failure;
    }
    bool saved = false;
    bool done = io.Guarded([&] {
        switch (store::CheckPassword(io, userId, (*passwords)[0].Get())) {
        case store::PasswordCheck::NoUserKey:
            io.Error(Quoted(userId) + " has no certificate. Nothing was changed.");
            return;
        case store::PasswordCheck::Wrong:
            io.Error("Wrong Old Password! Nothing was changed for " + Quoted(userId) + ".");
            return;
        case store::PasswordCheck::Matches:
            break;
        }
        if ((*passwords)[1] != (*passwords)[2]) {
            io.Error("Passwords need to be identical! Nothing was changed for " + Quoted(userId) +
                     ".");
            return;
        }
        saved = store::SaveNewPassword(io, userId, (*passwords)[1].Get(), (*passwords)[2].Get());
        if (!saved) {
            io.Error(store::PasswordNotSavedText(userId));
        }
    });
    if (!done || !saved) {
        return kFailed;
    }
    io.Out(L"Changed the password of " + QuotedId(userId) + L".\r\n");
    return kSucceeded;
}

int Delete(const Invocation& invocation, ConsoleIo& io) {
    std::string userId;
    if (!TakeUserId(invocation, 0, io, userId)) {
        return kUsageError;
    }
    if (RefuseUnlessElevated(io)) {
        return kFailed;
    }
    if (!store::HasCertificate(io, userId)) {
        io.Error(Quoted(userId) + " has no certificate.");
        return kFailed;
    }
    int answer = Confirm(invocation, io, "Delete the certificate of " + Quoted(userId) + "?",
                         "Nothing was deleted.");
    if (answer != kSucceeded) {
        return answer;
    }
    store::DeleteCertificate(io, userId);
    if (store::HasCertificate(io, userId)) {
        io.Error("The certificate of " + Quoted(userId) + " could not be deleted completely.");
        return kFailed;
    }
    io.Out(L"Deleted the certificate of " + QuotedId(userId) + L".\r\n");
    return kSucceeded;
}

int Export(const Invocation& invocation, ConsoleIo& io) {
    std::string userId;
    if (!TakeUserId(invocation, 0, io, userId)) {
        return kUsageError;
    }
    const std::wstring& path = invocation.operands[1];
    if (RefuseUnlessElevated(io)) {
        return kFailed;
    }
    // Checked first, so that no file is left behind.
    std::string noCertificate = Quoted(userId) + " has no certificate to export.";
    if (!store::ReadKeyQuiet(io, store::kUsersKey, userId) ||
        !store::ReadKeyQuiet(io, store::kCookiesKey, userId)) {
        io.Error(noCertificate);
        return kFailed;
    }
    exchange::ExportResult result = exchange::ExportCertificate(io, userId, path);
    switch (result.status) {
    case exchange::ExportResult::Status::Exported:
        io.Out(L"Exported the certificate of " + QuotedId(userId) + L" to " + QuotedPath(path) +
               L".\r\n");
        return kSucceeded;
    case exchange::ExportResult::Status::NoCertificate:
        io.Error(noCertificate);
        break;
    case exchange::ExportResult::Status::Failed:
        io.Error(result.failure);
        break;
    }
    return kFailed;
}

// Reads `path` as an import would; false when it would be refused, said on standard error with
// `consequence`.
bool ReadStorable(const std::wstring& path, const wchar_t* consequence, ConsoleIo& io,
                  exchange::ImportReading& reading) {
    reading = exchange::ReadForImport(path);
    if (reading.status != exchange::ImportReading::Status::Storable) {
        io.Error(exchange::ImportRefusalText(path, reading) + L" " + consequence);
        return false;
    }
    return true;
}

int Import(const Invocation& invocation, ConsoleIo& io) {
    if (RefuseUnlessElevated(io)) {
        return kFailed;
    }
    exchange::ImportReading reading;
    if (!ReadStorable(invocation.operands[0], L"Nothing was imported.", io, reading)) {
        return kFailed;
    }
    const exchange::CertificateFileContent& content = reading.content;
    if (store::ImportReplacesCookieKey(io, content.userId, content.cookieKey)) {
        int answer =
            Confirm(invocation, io, ReplaceQuestion(content.userId), "Nothing was imported.");
        if (answer != kSucceeded) {
            return answer;
        }
    }
    store::SaveResult result =
        store::SaveCertificate(io, content.userId, content.userKey, content.cookieKey);
    if (result != store::SaveResult::Saved) {
        io.Error(store::CertificateNotSavedText(content.userId, result));
        return kFailed;
    }
    io.Out(L"Imported the certificate of " + QuotedId(content.userId) + L".\r\n");
    return kSucceeded;
}

int Check(const Invocation& invocation, ConsoleIo& io) {
    exchange::ImportReading reading;
    if (!ReadStorable(invocation.operands[0], L"An import would store nothing.", io, reading)) {
        return kFailed;
    }
    const exchange::CertificateFileContent& content = reading.content;
    std::string said =
        "User ID: " + content.userId + "\r\nUserKey: " + std::to_string(content.userKey.Size()) +
        " bytes\r\nCookieKey: " + std::to_string(content.cookieKey.Size()) + " bytes\r\n";
    return Print(io, said) ? kSucceeded : kFailed;
}

// `text` in capitals, as the file system compares names.
std::wstring Capitals(std::wstring text) {
    if (!text.empty()) {
        ::CharUpperBuffW(&text[0], static_cast<DWORD>(text.size()));
    }
    return text;
}

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

// The files that `pattern` names: itself, or when it holds a wildcard (* or ?) in its last part,
// the files whose long names match, in the order of their names. The command prompt leaves
// wildcards to the program, and a thousand certificate files would not fit on one command line.
// The system's own search also matches short (8.3) names: "*.crt" would find "alice.crt_old".
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

// The importing machine reads a .reg file in its ANSI code page, as the store's names are kept.
bool IsAnsiLeadByte(unsigned char byte) {
    return ::IsDBCSLeadByte(byte) != FALSE;
}

// The certificates of the files, each user ID once. A user ID that two files give different keys
// (the registry takes names whatever their letter case) is refused, naming both files: the .reg
// file would silently keep the last one.
bool ReadRollOut(const std::vector<std::wstring>& paths, ConsoleIo& io,
                 std::vector<exchange::RegCertificate>& certificates) {
    std::map<std::wstring, std::size_t> byUserId; // in capitals: the file that gave it first
    for (std::size_t i = 0; i < paths.size(); ++i) {
        exchange::ImportReading reading;
        if (!ReadStorable(paths[i], L"Nothing was written.", io, reading)) {
            return false;
        }
        exchange::CertificateFileContent& content = reading.content;
        // The importer reads the file as text of its code page: other bytes would name another
        // certificate there.
        if (!exchange::IsRegValueName(content.userId, IsAnsiLeadByte) ||
            !fw::IsAnsiText(content.userId)) {
            io.Error(QuotedPath(paths[i]) +
                     L" holds a user ID that a .reg file cannot hold. Nothing was written.");
            return false;
        }
        auto [first, isNew] =
            byUserId.emplace(Capitals(fw::FromAnsi(content.userId)), certificates.size());
        if (isNew) {
            certificates.push_back({std::move(content.userId), content.userKey, content.cookieKey});
            continue;
        }
        const exchange::RegCertificate& earlier = certificates[first->second];
        if (earlier.userKey != content.userKey || earlier.cookieKey != content.cookieKey) {
            io.Error(QuotedPath(paths[i]) + L" and " + QuotedPath(paths[first->second]) +
                     L" give the user ID " + QuotedId(content.userId) +
                     L" different keys. Nothing was written.");
            return false;
        }
    }
    return true;
}

int Reg(const Invocation& invocation, ConsoleIo& io) {
    std::vector<std::wstring> paths;
    for (const std::wstring& operand : invocation.operands) {
        std::vector<std::wstring> matching = MatchingFiles(operand);
        if (matching.empty()) {
            io.Error(L"No file matches " + QuotedPath(operand) + L". Nothing was written.");
            return kFailed;
        }
        paths.insert(paths.end(), matching.begin(), matching.end());
    }
    std::vector<exchange::RegCertificate> certificates;
    if (!ReadRollOut(paths, io, certificates)) {
        return kFailed;
    }
    fw::Secret text = exchange::MakeRegFile(certificates, IsAnsiLeadByte);
    if ((invocation.options & kOutput) == 0) {
        return Print(io, text.Get()) ? kSucceeded : kFailed;
    }
    exchange::ExclusiveFile file(invocation.output, exchange::ExclusiveFile::Mode::CreateProtected);
    if (!file.IsOpen() || !file.Write(text.Data(), text.Size()) || !file.Flush() || !file.Close()) {
        io.Error(QuotedPath(invocation.output) + L" could not be written: " +
                 fw::FromAnsi(file.Error()));
        return kFailed;
    }
    return kSucceeded;
}

// How --password-stdin reads, for the commands that take it.
#define WARDKEEPC_PASSWORD_STDIN                                                                   \
    "--password-stdin takes the lines as bytes in this computer's ANSI code page, as\r\n"          \
    "the keys are derived from (typed at a console, it reads them without echo).\r\n"

const Command kCommands[] = {
    {"list", 0, 0, 0,
     "usage: wardkeepc list\r\n"
     "Prints the user IDs of the store's certificates in the store's order, one per line.\r\n",
     List},
    {"new", 1, 1, kPasswordStdin | kYes,
     "usage: wardkeepc new USER [--password-stdin] [--yes]\r\n"
     "Creates the certificate of USER. Asks for the password twice on the console without\r\n"
     "echo; with --password-stdin reads both, one per line, from standard "
     "input.\r\n" WARDKEEPC_PASSWORD_STDIN
     "If USER has a certificate, asks first: replacing it gives it a new CookieKey, and the\r\n"
     "files encrypted under the old one can no longer be decrypted. --yes does not ask.\r\n",
     New},
    {"passwd", 1, 1, kPasswordStdin,
     "usage: wardkeepc passwd USER [--password-stdin]\r\n"
     "Changes the password of USER's certificate. Asks for the old password and then the\r\n"
     "new one twice on the console without echo; with --password-stdin reads the three,\r\n"
     "one per line in that order, from standard input.\r\n" WARDKEEPC_PASSWORD_STDIN,
     Passwd},
    {"delete", 1, 1, kYes,
     "usage: wardkeepc delete USER [--yes]\r\n"
     "Deletes the certificate of USER after asking on the console; --yes does not ask.\r\n",
     Delete},
    {"export", 2, 2, 0,
     "usage: wardkeepc export USER FILE\r\n"
     "Writes the certificate of USER to the certificate file FILE (replaced if it exists),\r\n"
     "which only SYSTEM, the Administrators and its owner may open.\r\n",
     Export},
    {"import", 1, 1, kYes,
     "usage: wardkeepc import FILE [--yes]\r\n"
     "Stores the certificate of the certificate file FILE. If the store holds a certificate\r\n"
     "of that user ID with another CookieKey, asks first: the files encrypted under it\r\n"
     "could no longer be decrypted. --yes does not ask.\r\n",
     Import},
    {"check", 1, 1, 0,
     "usage: wardkeepc check FILE\r\n"
     "Says what an import of FILE would store (\"User ID:\", \"UserKey:\" and \"CookieKey:\"\r\n"
     "lines), or why it would refuse it. Changes nothing.\r\n",
     Check},
    {"reg", 1, static_cast<std::size_t>(-1), kOutput,
     "usage: wardkeepc reg FILE... [-o OUT]\r\n"
     "Turns certificate files into one .reg file, on standard output or into OUT, for\r\n"
     "\"reg import OUT /reg:32\". A FILE with * or ? stands for the files whose names match,\r\n"
     "in the order of their names. Refuses, and writes nothing, if any file would not be\r\n"
     "imported or two files give one user ID different keys. The .reg file holds the keys:\r\n"
     "OUT is made so that only SYSTEM, the Administrators and its owner may open it.\r\n",
     Reg},
};

#undef WARDKEEPC_PASSWORD_STDIN

int UsageError(ConsoleIo& io, const std::wstring& problem, const std::string& command) {
    io.Error(problem + L" See \"wardkeepc " + fw::FromAnsi(command.empty() ? "" : command + " ") +
             L"--help\".");
    return kUsageError;
}

bool IsHelp(const std::wstring& arg) {
    return arg == L"--help" || arg == L"-h" || arg == L"/?";
}

} // namespace

int Run(const std::vector<std::wstring>& args, ConsoleIo& io) {
    if (args.empty()) {
        io.Error("No command given.");
        io.Out(std::string_view(kOverview));
        return kUsageError;
    }
    if (IsHelp(args[0]) || args[0] == L"help") {
        io.Out(std::string_view(kOverview));
        return kSucceeded;
    }
    const Command* command = nullptr;
    for (const Command& candidate : kCommands) {
        if (args[0] == fw::FromAnsi(candidate.name)) {
            command = &candidate;
        }
    }
    if (command == nullptr) {
        return UsageError(io, L"Unknown command " + QuotedPath(args[0]) + L".", "");
    }
    Invocation invocation;
    bool options = true;
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::wstring& arg = args[i];
        if (!options || arg.size() < 2 || arg[0] != L'-') {
            invocation.operands.push_back(arg);
        } else if (arg == L"--") {
            options = false;
        } else if (IsHelp(arg)) {
            io.Out(std::string_view(command->help));
            return kSucceeded;
        } else if (arg == L"--password-stdin" && (command->allowedOptions & kPasswordStdin)) {
            invocation.options |= kPasswordStdin;
        } else if (arg == L"--yes" && (command->allowedOptions & kYes)) {
            invocation.options |= kYes;
        } else if ((arg == L"-o" || arg == L"--output") && (command->allowedOptions & kOutput)) {
            if (++i == args.size()) {
                return UsageError(io, QuotedPath(arg) + L" needs a file name.", command->name);
            }
            invocation.options |= kOutput;
            invocation.output = args[i];
        } else {
            return UsageError(io, L"Unknown option " + QuotedPath(arg) + L".", command->name);
        }
    }
    std::size_t count = invocation.operands.size();
    if (count < command->minOperands || count > command->maxOperands) {
        return UsageError(
            io, count < command->minOperands ? L"Too few arguments." : L"Too many arguments.",
            command->name);
    }
    return command->run(invocation, io);
}

} // namespace console
