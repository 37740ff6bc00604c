#include "Commands.h"

#include "exchange/CertificateTransfer.h"
#include "exchange/ExclusiveFile.h"
#include "exchange/FileNames.h"
#include "exchange/RegFile.h"
#include "framework/SystemError.h"
#include "framework/Text.h"
#include "keys/KeyBytes.h"
#include "store/CertificateStore.h"
#include "store/Certificates.h"

#include <algorithm>
#include <atomic>
#include <map>
#include <memory>
#include <set>
#include <thread>
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
    "  export --all DIR   write every certificate to a file of its own in DIR\r\n"
    "  import FILE...     store the certificates of certificate files (asks before\r\n"
    "                     replacing any with another CookieKey)\r\n"
    "  check FILE         say what an import of FILE would store, changing nothing\r\n"
    "  reg FILE...        turn certificate files into one .reg file\r\n"
    "\r\n"
    "Questions are asked only when standard input is a console; otherwise the answer is\r\n"
    "no, and --yes answers yes. User IDs are shown with a control character, or one this\r\n"
    "computer's code page lacks, as \\u and its four hex digits (a carriage return: \\u000D).\r\n"
    "\r\n"
    "\"wardkeepc COMMAND --help\" describes a command. Exit codes: 0 success, 1 refused or\r\n"
    "failed (said on standard error), 2 usage error.\r\n";

// Options a command may take.
enum Option : unsigned { kPasswordStdin = 1, kYes = 2, kOutput = 4, kAll = 8 };

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

// A user ID in a message, in quotes, its control characters escaped (fw::ShownUserId): a name
// can neither rewrite the line nor forge another.
std::string Quoted(const std::string& userId) {
    return "\"" + fw::ShownUserId(userId) + "\"";
}

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
    io.Error(fw::NotInCodePageText(L"The user ID " + QuotedPath(fw::ShownName(operand))));
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
template <typename Text> bool Print(ConsoleIo& io, const Text& text) {
    if (io.Out(text)) {
        return true;
    }
    io.Error("Standard output could not be written: " + fw::SystemErrorText(::GetLastError()));
    return false;
}

// A password asked for: its prompt on the console, and its name in messages.
struct PasswordPrompt {
    const wchar_t* prompt;
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
// kSucceeded to go on; otherwise kFailed, said on standard error with `declined`. Only standard
// input that is a console is asked: redirected (a pipe, a file, --password-stdin), nobody who sees
// the question could answer it there, and a console the process has beside it may never answer.
// The answer is then No, at once.
int Confirm(const Invocation& invocation, ConsoleIo& io, const std::wstring& question,
            const std::wstring& declined) {
    if ((invocation.options & kYes) != 0) {
        return kSucceeded;
    }
    if ((invocation.options & kPasswordStdin) != 0 || !io.HasConsole()) {
        io.Error(L"Standard input is not a console to ask on: " + declined +
                 L" Confirm with --yes.");
        return kFailed;
    }
    Answer answer = io.Ask(question + L" [y/N] ", false, 3);
    std::string_view text = answer.text.Get();
    if (answer.status != Answer::Status::Given || (text != "y" && text != "Y" && text != "yes")) {
        io.Error(declined);
        return kFailed;
    }
    return kSucceeded;
}

// The console's question before a certificate with another CookieKey replaces it.
std::wstring ReplaceQuestion(const std::string& userId) {
    return L"Replace the certificate of " + QuotedId(userId) +
           L"? Files encrypted under it can no longer be decrypted once it is replaced.";
}

// "a", "b" and "c"; past ten names, "a", "b", ... "j" and 5 more.
std::string QuotedList(const std::vector<std::string>& userIds) {
    constexpr std::size_t kMaxNamed = 10;
    std::size_t named = userIds.size() > kMaxNamed ? kMaxNamed : userIds.size();
    std::string list;
    for (std::size_t i = 0; i < named; ++i) {
        list += (i == 0 ? "" : i + 1 == userIds.size() ? " and " : ", ") + Quoted(userIds[i]);
    }
    if (named < userIds.size()) {
        list += " and " + std::to_string(userIds.size() - named) + " more";
    }
    return list;
}

// Said when another program changed the certificates of `userIds` after the command looked at
// them to ask its question (or to find that none was needed): what it would do was decided on a
// store that is no longer there.
std::string StoreChangedText(const std::vector<std::string>& userIds, const char* nothing) {
    return std::string("Another program changed the store after this command looked at the ") +
           (userIds.size() == 1 ? "certificate of " : "certificates of ") + QuotedList(userIds) +
           ". " + nothing + " Look at the store as it is now and try again.";
}

// Every certificate, also one whose name the code page cannot hold, which is shown escaped
// rather than as a look-alike of another.
int List(const Invocation&, ConsoleIo& io) {
    if (RefuseUnlessElevated(io)) {
        return kFailed;
    }
    std::wstring text;
    for (const store::ListedUserId& listed : store::ListCertificates(io)) {
        text += listed.Shown() + L"\r\n";
    }
    return Print(io, text) && !io.Reported() ? kSucceeded : kFailed;
}

int New(const Invocation& invocation, ConsoleIo& io) {
    std::string userId;
    if (!TakeUserId(invocation, 0, io, userId)) {
        return kUsageError;
    }
    if (exchange::HasControlCharacters(userId)) {
        io.Error("The user ID " + Quoted(userId) +
                 " holds a control character (a line break, a tab...), which would rewrite the "
                 "lines that show it. Nothing was stored.");
        return kFailed;
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
        {{L"Password: ", L"The password"}, {L"Retype password: ", L"The retyped password"}}, io,
        failure);
    if (!passwords) {
        return failure;
    }
    if ((*passwords)[0] != (*passwords)[1]) {
        io.Error("Passwords need to be identical! Nothing was stored for " + Quoted(userId) + ".");
        return kFailed;
    }
    store::StoreSnapshot seen(io, {userId});
    if (store::NewCertificateReplaces(io, userId)) {
        int answer = Confirm(invocation, io, ReplaceQuestion(userId),
                             L"Nothing was stored for " + QuotedId(userId) + L".");
        if (answer != kSucceeded) {
            return answer;
        }
    }
    store::SaveResult result = store::SaveResult::UserKeyRefused;
    if (!io.Guarded([&] {
            result = store::SaveNewCertificate(io, userId, (*passwords)[0].Get(),
                                               (*passwords)[1].Get(), &seen);
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
                                   {{L"Old password: ", L"The old password"},
                                    {L"New password: ", L"The new password"},
                                    {L"Retype new password: ", L"The retyped new password"}},
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
    store::StoreSnapshot seen(io, {userId});
    if (!store::HasCertificate(io, userId)) {
        io.Error(Quoted(userId) + " has no certificate.");
        return kFailed;
    }
    int answer = Confirm(invocation, io, L"Delete the certificate of " + QuotedId(userId) + L"?",
                         L"Nothing was deleted.");
    if (answer != kSucceeded) {
        return answer;
    }
    if (!seen.StillHolds(io)) {
        io.Error(StoreChangedText({userId}, "Nothing was deleted."));
        return kFailed;
    }
    store::DeleteCertificate(io, userId);
    if (store::HasCertificate(io, userId)) {
        io.Error("The certificate of " + Quoted(userId) + " could not be deleted completely.");
        return kFailed;
    }
    io.Out(L"Deleted the certificate of " + QuotedId(userId) + L".\r\n");
    return kSucceeded;
}

int ExportAll(const Invocation& invocation, ConsoleIo& io);
int UsageError(ConsoleIo& io, const std::wstring& problem, const std::string& command);

// Why the certificate of `userId` was not exported, for a result other than Exported.
std::wstring NotExportedText(const std::string& userId, const exchange::ExportResult& result) {
    if (result.status == exchange::ExportResult::Status::Gone) {
        return QuotedId(userId) + L" has no certificate to export.";
    }
    return result.failure;
}

int Export(const Invocation& invocation, ConsoleIo& io) {
    if ((invocation.options & kAll) != 0) {
        return ExportAll(invocation, io);
    }
    if (invocation.operands.size() != 2) {
        return UsageError(io, L"Too few arguments.", "export");
    }
    std::string userId;
    if (!TakeUserId(invocation, 0, io, userId)) {
        return kUsageError;
    }
    const std::wstring& path = invocation.operands[1];
    if (RefuseUnlessElevated(io)) {
        return kFailed;
    }
    // Read first: no question about a file for a certificate that cannot be exported.
    keys::KeyBytes userKey;
    keys::KeyBytes cookieKey;
    exchange::ExportResult result = exchange::ReadExportableKeys(io, userId, userKey, cookieKey);
    if (result.status == exchange::ExportResult::Status::Exported) {
        // An existing file is replaced only when asked, as the window's save dialog asks; one
        // that appears after the look is left alone. A name whose attributes cannot be read (a
        // device, a folder closed to this user) counts as existing.
        DWORD attributes = ::GetFileAttributesW(path.c_str());
        DWORD error = attributes == INVALID_FILE_ATTRIBUTES ? ::GetLastError() : ERROR_SUCCESS;
        bool exists = attributes == INVALID_FILE_ATTRIBUTES
                          ? error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND
                          : (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
        if (exists) {
            int answer = Confirm(invocation, io, QuotedPath(path) + L" exists. Replace it?",
                                 L"Nothing was exported.");
            if (answer != kSucceeded) {
                return answer;
            }
        }
        result = exchange::ExportCertificate(io, userId, path, exists);
    }
    if (result.status == exchange::ExportResult::Status::Exported) {
        io.Out(L"Exported the certificate of " + QuotedId(userId) + L" to " + QuotedPath(path) +
               L".\r\n");
        return kSucceeded;
    }
    io.Error(NotExportedText(userId, result));
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

int Check(const Invocation& invocation, ConsoleIo& io) {
    exchange::ImportReading reading;
    if (!ReadStorable(invocation.operands[0], L"An import would store nothing.", io, reading)) {
        return kFailed;
    }
    const exchange::CertificateFileContent& content = reading.content;
    std::string said = "User ID: " + fw::ShownUserId(content.userId) +
                       "\r\nUserKey: " + std::to_string(content.userKey.Size()) +
                       " bytes\r\nCookieKey: " + std::to_string(content.cookieKey.Size()) +
                       " bytes\r\n";
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

// The files that the operands name, each operand itself or the files its wildcards match. False,
// said on standard error with `consequence`, when a wildcard matches no file.
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

// The certificates of the files, each user ID once, every file read and judged: false, said on
// standard error with `consequence`, when any would be refused. A user ID that two files give
// different keys (the registry takes names whatever their letter case) is refused, naming both
// files: one would silently win. For a .reg file (`forRegFile`) a user ID must also be one that
// the registry importer reads back as the same name.
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

int Import(const Invocation& invocation, ConsoleIo& io) {
    if (RefuseUnlessElevated(io)) {
        return kFailed;
    }
    // Every file is read and judged before anything is stored: a half-done import is worse than
    // none.
    const wchar_t* nothing = L"Nothing was imported.";
    std::vector<std::wstring> paths;
    std::vector<exchange::RegCertificate> certificates;
    if (!OperandFiles(invocation, io, nothing, paths) ||
        !ReadCertificates(paths, io, nothing, false, certificates)) {
        return kFailed;
    }
    store::BulkSession session;
    std::vector<std::string> userIds;
    for (const exchange::RegCertificate& certificate : certificates) {
        userIds.push_back(certificate.userId);
    }
    store::StoreSnapshot seen(io, userIds);
    std::vector<std::string> replacing; // the user IDs whose CookieKey would be lost
    for (const exchange::RegCertificate& certificate : certificates) {
        if (store::ImportReplacesCookieKey(io, certificate.userId, certificate.cookieKey)) {
            replacing.push_back(certificate.userId);
        }
    }
    if (replacing.size() == 1) {
        int answer =
            Confirm(invocation, io, ReplaceQuestion(replacing[0]), L"Nothing was imported.");
        if (answer != kSucceeded) {
            return answer;
        }
    } else if (!replacing.empty()) {
        std::wstring names = fw::FromAnsi(QuotedList(replacing));
        int answer = Confirm(
            invocation, io,
            L"Replace the " + std::to_wstring(replacing.size()) + L" certificates of " + names +
                L"? Files encrypted under them can no longer be decrypted once "
                L"they are replaced.",
            L"Nothing was imported (it would replace the certificates of " + names + L").");
        if (answer != kSucceeded) {
            return answer;
        }
    }
    // One certificate is checked by the store as it is written. Many are checked once, before
    // the first is written: each write changes what the snapshot saw, and a store that changed
    // must get none of them.
    const store::StoreSnapshot* check = certificates.size() == 1 ? &seen : nullptr;
    if (check == nullptr && !seen.StillHolds(io)) {
        io.Error(StoreChangedText(userIds, "Nothing was imported."));
        return kFailed;
    }
    std::size_t counts[3] = {}; // by store::ImportOutcome
    for (const exchange::RegCertificate& certificate : certificates) {
        store::ImportOutcome outcome = store::ImportOutcome::New;
        store::SaveResult result = store::SaveCertificate(
            io, certificate.userId, certificate.userKey, certificate.cookieKey, &outcome, check);
        if (result != store::SaveResult::Saved) {
            std::size_t stored = counts[0] + counts[1] + counts[2];
            io.Error(store::CertificateNotSavedText(certificate.userId, result) +
                     (stored == 0 ? std::string()
                                  : "\r\nThe " + std::to_string(stored) +
                                        " certificates before it were stored."));
            return kFailed;
        }
        ++counts[static_cast<int>(outcome)];
    }
    if (paths.size() == 1) {
        io.Out(L"Imported the certificate of " + QuotedId(certificates[0].userId) + L".\r\n");
    } else {
        io.Out("Imported " + std::to_string(certificates.size()) + " certificates: " +
               std::to_string(counts[0]) + " new, " + std::to_string(counts[1]) + " replaced, " +
               std::to_string(counts[2]) + " unchanged.\r\n");
    }
    return kSucceeded;
}

int Reg(const Invocation& invocation, ConsoleIo& io) {
    const wchar_t* nothing = L"Nothing was written.";
    std::vector<std::wstring> paths;
    std::vector<exchange::RegCertificate> certificates;
    if (!OperandFiles(invocation, io, nothing, paths) ||
        !ReadCertificates(paths, io, nothing, true, certificates)) {
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

// `character` folded as the file system compares names (CharUpperBuffW, as Capitals does).
wchar_t FoldForFileNames(wchar_t character) {
    ::CharUpperBuffW(&character, 1);
    return character;
}

// Makes `folder` and the folders above it that are missing; false, said on standard error, when
// the system refuses.
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

// `folder`, made absolute when it is drive-relative ("D:" or "D:backup": relative to the current
// folder of that drive, which the command line does not show), so that what the export names is
// where the files are.
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

// The `attempt`th other name (2, 3...) for the export's file `name`: "~2", "~3"... before its
// ".crt", its start cut where Windows' limit on a name needs it. Still a valid Windows name: it
// ends in ".crt", and no device name holds a "~".
std::wstring AlternativeName(const std::wstring& name, unsigned attempt) {
    const std::wstring end = L"~" + std::to_wstring(attempt) + L".crt";
    std::wstring start = name.substr(0, name.size() - 4);
    if (start.size() + end.size() > exchange::kMaxFileNameChars) {
        start.resize(exchange::kMaxFileNameChars - end.size());
        if (!start.empty() && IS_HIGH_SURROGATE(start.back())) {
            start.pop_back();
        }
    }
    return start + end;
}

// Every certificate of the store into a file of its own in the folder, named after its user ID
// (exchange/FileNames.h), so that "import FOLDER\*.crt" restores the store. Every file is made
// new (CREATE_NEW): an existing file is never opened under any of its names, also not under its
// 8.3 short name, which a certificate's file name can equal. Such a certificate is written under
// another name. A file whose long name is one of the export's is replaced only with --yes, and
// then as a whole or not at all; without --yes one stops the export before anything is written.
int ExportAll(const Invocation& invocation, ConsoleIo& io) {
    if (invocation.operands.size() != 1) {
        return UsageError(io, L"Too many arguments.", "export");
    }
    if (RefuseUnlessElevated(io)) {
        return kFailed;
    }
    store::BulkSession session;
    std::vector<store::ListedUserId> listed = store::ListCertificates(io);
    if (io.Reported()) {
        return kFailed;
    }
    bool complete = true;
    std::vector<std::string> userIds;
    std::vector<std::wstring> wideIds;
    for (const store::ListedUserId& certificate : listed) {
        if (certificate.exact) {
            userIds.push_back(certificate.userId);
            wideIds.push_back(certificate.name);
            continue;
        }
        io.Error(fw::NotInCodePageText(L"The user ID \"" + certificate.Shown() + L"\"") +
                 L" Its certificate was not exported.");
        complete = false;
    }
    std::vector<std::wstring> names = exchange::CertificateFileNames(wideIds, FoldForFileNames);
    const std::wstring shownFolder = AbsoluteIfDriveRelative(invocation.operands[0]);
    std::wstring folder = shownFolder;
    if (!MakeFolder(folder, io)) {
        return kFailed;
    }
    if (folder.back() != L'\\' && folder.back() != L'/') {
        folder += L'\\';
    }
    // The folder's long names, read once: a lookup of each name would read the folder again
    // under Wine.
    std::set<std::wstring> present;
    for (const std::wstring& path : MatchingFiles(folder + L"*")) {
        present.insert(Capitals(path.substr(folder.size())));
    }
    const bool replace = (invocation.options & kYes) != 0;
    if (!replace) {
        std::wstring existing;
        std::size_t count = 0;
        for (const std::wstring& name : names) {
            if (present.count(Capitals(name)) != 0 && ++count <= 10) {
                existing += (count == 1 ? L"" : L", ") + name;
            }
        }
        if (count != 0) {
            io.Error(QuotedPath(shownFolder) + L" already holds " + std::to_wstring(count) +
                     (count == 1 ? L" file" : L" files") + L" of this export: " + existing +
                     (count > 10 ? L"..." : L"") + L". Nothing was written. --yes replaces them.");
            return kFailed;
        }
    }
    // An other name is none of the export's own names nor a long name in the folder.
    std::set<std::wstring> taken = present;
    for (const std::wstring& name : names) {
        taken.insert(Capitals(name));
    }
    // Written in batches, each file flushed only once the whole batch is written: the file
    // system then commits a batch in one go, where flushing each file alone took most of the time.
    constexpr std::size_t kBatch = 256;
    constexpr int kFlushThreads = 8;
    constexpr unsigned kMaxAttempts = 100;
    std::size_t written = 0;
    auto stop = [&](const std::wstring& path, const char* what,
                    const exchange::ExclusiveFile& file) {
        io.Error(L"The certificate was not exported: " + QuotedPath(path) + L" " +
                 fw::FromAnsi(what) + L".\n" + fw::FromAnsi(file.Error()));
        io.Error(L"Exported " + std::to_wstring(written) + L" of " +
                 std::to_wstring(listed.size()) + L" certificates to " + QuotedPath(shownFolder) +
                 L" before it.");
        return kFailed;
    };
    using Mode = exchange::ExclusiveFile::Mode;
    for (std::size_t first = 0; first < userIds.size(); first += kBatch) {
        std::vector<std::pair<std::unique_ptr<exchange::ExclusiveFile>, std::wstring>> batch;
        for (std::size_t i = first; i < userIds.size() && i < first + kBatch; ++i) {
            keys::KeyBytes userKey;
            keys::KeyBytes cookieKey;
            exchange::ExportResult readable =
                exchange::ReadExportableKeys(io, userIds[i], userKey, cookieKey);
            if (readable.status != exchange::ExportResult::Status::Exported) {
                io.Error(NotExportedText(userIds[i], readable) + L" No file was written for it.");
                complete = false;
                continue;
            }
            std::wstring name = names[i];
            auto file = std::make_unique<exchange::ExclusiveFile>(
                folder + name, replace && present.count(Capitals(name)) != 0 ? Mode::CreateProtected
                                                                             : Mode::CreateNew);
            for (unsigned attempt = 2; !file->IsOpen() && file->Exists() && attempt <= kMaxAttempts;
                 ++attempt) {
                name = AlternativeName(names[i], attempt);
                if (taken.count(Capitals(name)) == 0) {
                    file =
                        std::make_unique<exchange::ExclusiveFile>(folder + name, Mode::CreateNew);
                }
            }
            if (!file->IsOpen()) {
                return stop(folder + name, "could not be created", *file);
            }
            if (name != names[i]) {
                io.Error(QuotedPath(names[i]) + L" is a name of another file in " +
                         QuotedPath(shownFolder) + L" (its short name, say): the certificate of " +
                         QuotedId(userIds[i]) + L" was written to " + QuotedPath(name) + L".");
            }
            std::wstring path = folder + name;
            if (!exchange::WriteCertificateHead(*file, userIds[i], userKey) ||
                !exchange::WriteCookieKeyLine(*file, cookieKey)) {
                return stop(path, "could not be written", *file);
            }
            batch.emplace_back(std::move(file), std::move(path));
        }
        // Flushed by a few threads at once, so that the file system can commit them together.
        std::vector<char> flushed(batch.size(), 0);
        std::atomic<std::size_t> next{0};
        auto flush = [&] {
            for (std::size_t j = next++; j < batch.size(); j = next++) {
                flushed[j] = batch[j].first->Flush() && batch[j].first->Close();
            }
        };
        std::vector<std::thread> flushers;
        for (int t = 0; t < kFlushThreads; ++t) {
            flushers.emplace_back(flush);
        }
        for (std::thread& flusher : flushers) {
            flusher.join();
        }
        for (std::size_t j = 0; j < batch.size(); ++j) {
            if (!flushed[j]) {
                return stop(batch[j].second, "could not be written", *batch[j].first);
            }
            ++written;
        }
    }
    // The files written in full: a certificate without one is said above.
    io.Out(L"Exported " + std::to_wstring(written) + L" certificates to " +
           QuotedPath(shownFolder) + L".\r\n");
    return complete ? kSucceeded : kFailed;
}

// How --password-stdin reads, for the commands that take it.
#define WARDKEEPC_PASSWORD_STDIN                                                                   \
    "--password-stdin takes the lines as bytes in this computer's ANSI code page, as\r\n"          \
    "the keys are derived from (typed at a console, it reads them without echo).\r\n"

const Command kCommands[] = {
    {"list", 0, 0, 0,
     "usage: wardkeepc list\r\n"
     "Prints the user IDs of the store's certificates in the store's order, one per line.\r\n"
     "A control character, or a character this computer's code page lacks, is shown as \\u\r\n"
     "and its four hex digits (a carriage return: \\u000D). A certificate whose name the code\r\n"
     "page lacks is listed so, but no command can name it.\r\n",
     List},
    {"new", 1, 1, kPasswordStdin | kYes,
     "usage: wardkeepc new USER [--password-stdin] [--yes]\r\n"
     "Creates the certificate of USER. Asks for the password twice on the console without\r\n"
     "echo; with --password-stdin reads both, one per line, from standard "
     "input.\r\n" WARDKEEPC_PASSWORD_STDIN
     "If USER has a certificate, asks first: replacing it gives it a new CookieKey, and the\r\n"
     "files encrypted under the old one can no longer be decrypted. --yes does not ask;\r\n"
     "when standard input is not a console (or with --password-stdin) nobody can be asked,\r\n"
     "and without --yes nothing is stored. A USER with a control character is refused.\r\n"
     "Stores nothing if another program changed USER's certificate meanwhile.\r\n",
     New},
    {"passwd", 1, 1, kPasswordStdin,
     "usage: wardkeepc passwd USER [--password-stdin]\r\n"
     "Changes the password of USER's certificate. Asks for the old password and then the\r\n"
     "new one twice on the console without echo; with --password-stdin reads the three,\r\n"
     "one per line in that order, from standard input.\r\n" WARDKEEPC_PASSWORD_STDIN,
     Passwd},
    {"delete", 1, 1, kYes,
     "usage: wardkeepc delete USER [--yes]\r\n"
     "Deletes the certificate of USER after asking on the console; --yes does not ask.\r\n"
     "When standard input is not a console, deletes nothing without --yes. Deletes nothing\r\n"
     "if another program changed the certificate after the question.\r\n",
     Delete},
    {"export", 1, 2, kAll | kYes,
     "usage: wardkeepc export USER FILE [--yes]\r\n"
     "       wardkeepc export --all FOLDER [--yes]\r\n"
     "Writes the certificate of USER to the certificate file FILE, which only SYSTEM, the\r\n"
     "Administrators and its owner may open. If FILE exists, asks before replacing it (--yes\r\n"
     "does not ask; without a console on standard input it stays). A certificate that\r\n"
     "cannot be exported whole leaves no file and an existing FILE as it was.\r\n"
     "With --all, writes every certificate of the store to a file of its own in FOLDER\r\n"
     "(made if missing), named after its user ID: characters a file name cannot hold, a\r\n"
     "\"%\", device names (CON, NUL...) and a last dot or space become %XX, user IDs that\r\n"
     "differ in letter case only get names apart, the empty user ID is %empty%.crt. Writes\r\n"
     "nothing if FOLDER holds one of the names already, unless --yes replaces them. Every\r\n"
     "other file is made new: where a name is taken by another file (by its 8.3 short name,\r\n"
     "say), the certificate goes to NAME~2.crt, NAME~3.crt... A drive-relative FOLDER (D:x)\r\n"
     "is made absolute. Says how many files it wrote; exit code 1 if a certificate got none.\r\n"
     "\"wardkeepc import FOLDER\\*.crt\" restores the certificates.\r\n",
     Export},
    {"import", 1, static_cast<std::size_t>(-1), kYes,
     "usage: wardkeepc import FILE... [--yes]\r\n"
     "Stores the certificates of the certificate files. A FILE with * or ? stands for the\r\n"
     "files whose names match. Every file is read first: if any would be refused, or two\r\n"
     "give one user ID different keys, nothing is stored. If the store holds a certificate\r\n"
     "of one of the user IDs with another CookieKey, asks once, naming them: the files\r\n"
     "encrypted under them could no longer be decrypted. --yes does not ask; when standard\r\n"
     "input is not a console, nothing is stored without it. Stores nothing if another\r\n"
     "program changed one of the certificates meanwhile. Says how many certificates were\r\n"
     "new, replaced, or unchanged (the same keys were stored).\r\n",
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
        } else if (arg == L"--all" && (command->allowedOptions & kAll)) {
            invocation.options |= kAll;
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
