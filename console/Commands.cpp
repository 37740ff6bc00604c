#include "Commands.h"

#include "exchange/CertificateTransfer.h"
#include "framework/SystemError.h"
#include "exchange/ExclusiveFile.h"
#include "exchange/RegFile.h"
#include "keys/KeyBytes.h"
#include "store/CertificateStore.h"
#include "store/Certificates.h"

#include <algorithm>
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
    "  new USER           create the certificate of USER (replacing one it has)\r\n"
    "  passwd USER        change the password of USER's certificate\r\n"
    "  delete USER        delete the certificate of USER\r\n"
    "  export USER FILE   write the certificate of USER to a certificate file\r\n"
    "  import FILE        store the certificate of a certificate file\r\n"
    "  check FILE         say what an import of FILE would store, changing nothing\r\n"
    "  reg FILE...        turn certificate files into one .reg file\r\n"
    "\r\n"
    "\"wardkeepc COMMAND --help\" describes a command. Exit codes: 0 success, 1 refused or\r\n"
    "failed (said on standard error), 2 usage error.\r\n";

// Options a command may take.
enum Option : unsigned { kPasswordStdin = 1, kYes = 2, kOutput = 4 };

struct Invocation {
    std::vector<std::string> operands;
    unsigned options = 0;
    std::string output; // with kOutput
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
bool Print(ConsoleIo& io, const std::string& text) {
    if (io.Out(text)) {
        return true;
    }
    io.Error("Standard output could not be written: " + fw::SystemErrorText(::GetLastError()));
    return false;
}

// The answers to `prompts`, from standard input (one line each, in order) or asked on the
// console without echo. Nothing when an answer is missing or too long (said on standard error).
std::optional<std::vector<std::string>> ReadPasswords(const Invocation& invocation,
                                                      std::initializer_list<const char*> prompts,
                                                      ConsoleIo& io, int& failure) {
    bool fromInput = (invocation.options & kPasswordStdin) != 0;
    if (!fromInput && !io.HasConsole()) {
        io.Error("No console to ask for the passwords on: give them on standard input with "
                 "--password-stdin.");
        failure = kUsageError;
        return std::nullopt;
    }
    std::vector<std::string> answers;
    for (const char* prompt : prompts) {
        bool tooLong = false;
        std::optional<std::string> answer =
            fromInput ? io.ReadInputLine(keys::kMaxPasswordChars, tooLong)
                      : io.Ask(prompt, true, keys::kMaxPasswordChars, tooLong);
        if (!answer) {
            io.Error(fromInput ? "Standard input ended before every password was given."
                               : "The console could not be read.");
            failure = kFailed;
            return std::nullopt;
        }
        if (tooLong) {
            io.Error("A password is longer than " + std::to_string(keys::kMaxPasswordChars) +
                     " characters.");
            failure = kFailed;
            return std::nullopt;
        }
        answers.push_back(*answer);
    }
    return answers;
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
    const std::string& userId = invocation.operands[0];
    if (RefuseUnlessElevated(io)) {
        return kFailed;
    }
    if (userId.size() > static_cast<std::size_t>(store::kMaxListedUserIdChars)) {
        io.Error("The user ID " + Quoted(userId) + " is longer than " +
                 std::to_string(store::kMaxListedUserIdChars) +
                 " characters: its certificate could never be listed.");
        return kFailed;
    }
    int failure = kFailed;
    auto passwords = ReadPasswords(invocation, {"Password: ", "Retype password: "}, io, failure);
    if (!passwords) {
        return failure;
    }
    if ((*passwords)[0] != (*passwords)[1]) {
        io.Error("Passwords need to be identical! Nothing was stored for " + Quoted(userId) + ".");
        return kFailed;
    }
    store::SaveResult result = store::SaveResult::UserKeyRefused;
    if (!io.Guarded([&] {
            result = store::SaveNewCertificate(io, userId, (*passwords)[0], (*passwords)[1]);
        })) {
        return kFailed;
    }
    if (result != store::SaveResult::Saved) {
        io.Error(store::CertificateNotSavedText(userId, result));
        return kFailed;
    }
    io.Out("Stored the certificate of " + Quoted(userId) + ".\r\n");
    return kSucceeded;
}

int Passwd(const Invocation& invocation, ConsoleIo& io) {
    const std::string& userId = invocation.operands[0];
    if (RefuseUnlessElevated(io)) {
        return kFailed;
    }
    int failure = kFailed;
    auto passwords = ReadPasswords(
        invocation, {"Old password: ", "New password: ", "Retype new password: "}, io, failure);
    if (!passwords) {
        return failure;
    }
    bool saved = false;
    bool done = io.Guarded([&] {
        switch (store::CheckPassword(io, userId, (*passwords)[0])) {
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
        saved = store::SaveNewPassword(io, userId, (*passwords)[1], (*passwords)[2]);
        if (!saved) {
            io.Error(store::PasswordNotSavedText(userId));
        }
    });
    if (!done || !saved) {
        return kFailed;
    }
    io.Out("Changed the password of " + Quoted(userId) + ".\r\n");
    return kSucceeded;
}

int Delete(const Invocation& invocation, ConsoleIo& io) {
    const std::string& userId = invocation.operands[0];
    if (RefuseUnlessElevated(io)) {
        return kFailed;
    }
    if (!store::HasCertificate(io, userId)) {
        io.Error(Quoted(userId) + " has no certificate.");
        return kFailed;
    }
    if ((invocation.options & kYes) == 0) {
        if (!io.HasConsole()) {
            io.Error("No console to ask on before deleting: confirm with --yes.");
            return kUsageError;
        }
        bool tooLong = false;
        std::optional<std::string> answer =
            io.Ask("Delete the certificate of " + Quoted(userId) + "? [y/N] ", false, 3, tooLong);
        if (!answer || (*answer != "y" && *answer != "Y" && *answer != "yes")) {
            io.Error("Nothing was deleted.");
            return kFailed;
        }
    }
    store::DeleteCertificate(userId);
    if (store::HasCertificate(io, userId)) {
        io.Error("The certificate of " + Quoted(userId) + " could not be deleted completely.");
        return kFailed;
    }
    io.Out("Deleted the certificate of " + Quoted(userId) + ".\r\n");
    return kSucceeded;
}

int Export(const Invocation& invocation, ConsoleIo& io) {
    const std::string& userId = invocation.operands[0];
    const std::string& path = invocation.operands[1];
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
        io.Out("Exported the certificate of " + Quoted(userId) + " to " + Quoted(path) + ".\r\n");
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
bool ReadStorable(const std::string& path, const char* consequence, ConsoleIo& io,
                  exchange::ImportReading& reading) {
    reading = exchange::ReadForImport(path);
    if (reading.status != exchange::ImportReading::Status::Storable) {
        io.Error(exchange::ImportRefusalText(path, reading) + " " + consequence);
        return false;
    }
    return true;
}

int Import(const Invocation& invocation, ConsoleIo& io) {
    if (RefuseUnlessElevated(io)) {
        return kFailed;
    }
    exchange::ImportReading reading;
    if (!ReadStorable(invocation.operands[0], "Nothing was imported.", io, reading)) {
        return kFailed;
    }
    const exchange::CertificateFileContent& content = reading.content;
    store::SaveResult result =
        store::SaveCertificate(io, content.userId, content.userKey, content.cookieKey);
    if (result != store::SaveResult::Saved) {
        io.Error(store::CertificateNotSavedText(content.userId, result));
        return kFailed;
    }
    io.Out("Imported the certificate of " + Quoted(content.userId) + ".\r\n");
    return kSucceeded;
}

int Check(const Invocation& invocation, ConsoleIo& io) {
    exchange::ImportReading reading;
    if (!ReadStorable(invocation.operands[0], "An import would store nothing.", io, reading)) {
        return kFailed;
    }
    const exchange::CertificateFileContent& content = reading.content;
    std::string said =
        "User ID: " + content.userId + "\r\nUserKey: " + std::to_string(content.userKey.Size()) +
        " bytes\r\nCookieKey: " + std::to_string(content.cookieKey.Size()) + " bytes\r\n";
    return Print(io, said) ? kSucceeded : kFailed;
}

// The files that `pattern` names: itself, or when it holds a wildcard (* or ?) in its last part,
// the files that match, in the order of their names. The command prompt leaves wildcards to the
// program, and a thousand certificate files would not fit on one command line.
std::vector<std::string> MatchingFiles(const std::string& pattern) {
    std::size_t nameStart = pattern.find_last_of("\\/:") + 1; // 0 when there is no folder
    if (pattern.find_first_of("*?", nameStart) == std::string::npos) {
        return {pattern};
    }
    std::vector<std::string> names;
    WIN32_FIND_DATAA found;
    HANDLE search = ::FindFirstFileA(pattern.c_str(), &found);
    for (bool more = search != INVALID_HANDLE_VALUE; more; more = ::FindNextFileA(search, &found)) {
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
            names.push_back(found.cFileName);
        }
    }
    if (search != INVALID_HANDLE_VALUE) {
        ::FindClose(search);
    }
    std::sort(names.begin(), names.end());
    for (std::string& name : names) {
        name.insert(0, pattern, 0, nameStart);
    }
    return names;
}

// The importing machine reads a .reg file in its ANSI code page, as the store's names are kept.
bool IsAnsiLeadByte(unsigned char byte) {
    return ::IsDBCSLeadByte(byte) != FALSE;
}

int Reg(const Invocation& invocation, ConsoleIo& io) {
    std::vector<std::string> paths;
    for (const std::string& operand : invocation.operands) {
        std::vector<std::string> matching = MatchingFiles(operand);
        if (matching.empty()) {
            io.Error("No file matches " + Quoted(operand) + ". Nothing was written.");
            return kFailed;
        }
        paths.insert(paths.end(), matching.begin(), matching.end());
    }
    std::vector<exchange::RegCertificate> certificates;
    for (const std::string& path : paths) {
        exchange::ImportReading reading;
        if (!ReadStorable(path, "Nothing was written.", io, reading)) {
            return kFailed;
        }
        exchange::CertificateFileContent& content = reading.content;
        if (!exchange::IsRegValueName(content.userId, IsAnsiLeadByte)) {
            io.Error(Quoted(path) + " holds a user ID that a .reg file cannot hold. " +
                     "Nothing was written.");
            return kFailed;
        }
        certificates.push_back({std::move(content.userId), content.userKey, content.cookieKey});
    }
    std::string text = exchange::MakeRegFile(certificates, IsAnsiLeadByte);
    if ((invocation.options & kOutput) == 0) {
        return Print(io, text) ? kSucceeded : kFailed;
    }
    exchange::ExclusiveFile file(invocation.output, exchange::ExclusiveFile::Mode::CreateOrEmpty);
    if (!file.IsOpen() || !file.Write(text.data(), text.size()) || !file.Flush() || !file.Close()) {
        io.Error(Quoted(invocation.output) + " could not be written: " + file.Error());
        return kFailed;
    }
    return kSucceeded;
}

const Command kCommands[] = {
    {"list", 0, 0, 0,
     "usage: wardkeepc list\r\n"
     "Prints the user IDs of the store's certificates in the store's order, one per line.\r\n",
     List},
    {"new", 1, 1, kPasswordStdin,
     "usage: wardkeepc new USER [--password-stdin]\r\n"
     "Creates the certificate of USER, replacing one it has. Asks for the password twice\r\n"
     "on the console without echo; with --password-stdin reads both, one per line, from\r\n"
     "standard input.\r\n",
     New},
    {"passwd", 1, 1, kPasswordStdin,
     "usage: wardkeepc passwd USER [--password-stdin]\r\n"
     "Changes the password of USER's certificate. Asks for the old password and then the\r\n"
     "new one twice on the console without echo; with --password-stdin reads the three,\r\n"
     "one per line in that order, from standard input.\r\n",
     Passwd},
    {"delete", 1, 1, kYes,
     "usage: wardkeepc delete USER [--yes]\r\n"
     "Deletes the certificate of USER after asking on the console; --yes does not ask.\r\n",
     Delete},
    {"export", 2, 2, 0,
     "usage: wardkeepc export USER FILE\r\n"
     "Writes the certificate of USER to the certificate file FILE (replaced if it exists).\r\n",
     Export},
    {"import", 1, 1, 0,
     "usage: wardkeepc import FILE\r\n"
     "Stores the certificate of the certificate file FILE, replacing one of the same user\r\n"
     "ID.\r\n",
     Import},
    {"check", 1, 1, 0,
     "usage: wardkeepc check FILE\r\n"
     "Says what an import of FILE would store (\"User ID:\", \"UserKey:\" and \"CookieKey:\"\r\n"
     "lines), or why it would refuse it. Changes nothing.\r\n",
     Check},
    {"reg", 1, static_cast<std::size_t>(-1), kOutput,
     "usage: wardkeepc reg FILE... [-o OUT]\r\n"
     "Turns certificate files into one .reg file, on standard output or into OUT, for\r\n"
     "\"reg import OUT /reg:32\". A FILE with * or ? stands for the files that match, in\r\n"
     "the order of their names. Refuses, and writes nothing, if any file would not be\r\n"
     "imported. The .reg file holds the keys: handle it like them.\r\n",
     Reg},
};

int UsageError(ConsoleIo& io, const std::string& problem, const std::string& command) {
    io.Error(problem + " See \"wardkeepc " + (command.empty() ? "" : command + " ") + "--help\".");
    return kUsageError;
}

bool IsHelp(const std::string& arg) {
    return arg == "--help" || arg == "-h" || arg == "/?";
}

} // namespace

int Run(const std::vector<std::string>& args, ConsoleIo& io) {
    if (args.empty()) {
        io.Error("No command given.");
        io.Out(kOverview);
        return kUsageError;
    }
    if (IsHelp(args[0]) || args[0] == "help") {
        io.Out(kOverview);
        return kSucceeded;
    }
    const Command* command = nullptr;
    for (const Command& candidate : kCommands) {
        if (args[0] == candidate.name) {
            command = &candidate;
        }
    }
    if (command == nullptr) {
        return UsageError(io, "Unknown command " + Quoted(args[0]) + ".", "");
    }
    Invocation invocation;
    bool options = true;
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (!options || arg.size() < 2 || arg[0] != '-') {
            invocation.operands.push_back(arg);
        } else if (arg == "--") {
            options = false;
        } else if (IsHelp(arg)) {
            io.Out(command->help);
            return kSucceeded;
        } else if (arg == "--password-stdin" && (command->allowedOptions & kPasswordStdin)) {
            invocation.options |= kPasswordStdin;
        } else if (arg == "--yes" && (command->allowedOptions & kYes)) {
            invocation.options |= kYes;
        } else if ((arg == "-o" || arg == "--output") && (command->allowedOptions & kOutput)) {
            if (++i == args.size()) {
                return UsageError(io, Quoted(arg) + " needs a file name.", command->name);
            }
            invocation.options |= kOutput;
            invocation.output = args[i];
        } else {
            return UsageError(io, "Unknown option " + Quoted(arg) + ".", command->name);
        }
    }
    std::size_t count = invocation.operands.size();
    if (count < command->minOperands || count > command->maxOperands) {
        return UsageError(
            io, count < command->minOperands ? "Too few arguments." : "Too many arguments.",
            command->name);
    }
    return command->run(invocation, io);
}

} // namespace console
