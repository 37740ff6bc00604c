#include "Shared.h"

#include "framework/Text.h"
#include "keys/KeyBytes.h"
#include "store/Certificates.h"

namespace console {

namespace {

// What is read: passwords (in the ANSI code page, the keys' own) or a backup's passphrase (in
// UTF-8, as gpg takes it).
struct SecretKind {
    unsigned stdinOption;
    std::size_t maxBytes;
    Encoding encoding;
    const char* noConsole;
    const char* inputEnded;
};

const SecretKind kPasswords = {
    kPasswordStdin, keys::kMaxPasswordChars, Encoding::Ansi,
    "No console to ask for the passwords on: give them on standard input with --password-stdin.",
    "Standard input ended before every password was given."};

const SecretKind kPassphrase = {
    kPassphraseStdin, kMaxPassphraseBytes, Encoding::Utf8,
    "No console to ask for the passphrase on: give it on standard input with --passphrase-stdin.",
    "Standard input ended before the passphrase was given."};

// The answers to `prompts`, from standard input (one line each) or asked on the console without
// echo, as `kind` says.
std::optional<std::vector<fw::Secret>> ReadSecrets(const Invocation& invocation,
                                                   const SecretKind& kind,
                                                   std::initializer_list<PasswordPrompt> prompts,
                                                   ConsoleIo& io, int& failure) {
    bool fromInput = (invocation.options & kind.stdinOption) != 0;
    if (!fromInput && !io.HasConsole()) {
        io.Error(kind.noConsole);
        failure = kUsageError;
        return std::nullopt;
    }
    failure = kFailed;
    std::vector<fw::Secret> answers;
    for (const PasswordPrompt& prompt : prompts) {
        Answer answer = fromInput ? io.ReadInputLine(kind.maxBytes, kind.encoding)
                                  : io.Ask(prompt.prompt, true, kind.maxBytes, kind.encoding);
        switch (answer.status) {
        case Answer::Status::Given:
            answers.push_back(std::move(answer.text));
            continue;
        case Answer::Status::Ended:
            io.Error(fromInput ? kind.inputEnded : "The console could not be read.");
            break;
        case Answer::Status::TooLong:
            io.Error(fw::TooLongText(prompt.name, kind.maxBytes));
            break;
        case Answer::Status::NotInCodePage:
            io.Error(fw::NotInCodePageText(prompt.name));
            break;
        }
        return std::nullopt;
    }
    return answers;
}

} // namespace

std::optional<std::vector<fw::Secret>> ReadPasswords(const Invocation& invocation,
                                                     std::initializer_list<PasswordPrompt> prompts,
                                                     ConsoleIo& io, int& failure) {
    return ReadSecrets(invocation, kPasswords, prompts, io, failure);
}

std::optional<fw::Secret> ReadPassphrase(const Invocation& invocation, bool twice, ConsoleIo& io,
                                         int& failure) {
    const PasswordPrompt first = {L"Passphrase: ", L"The passphrase"};
    const PasswordPrompt again = {L"Retype passphrase: ", L"The retyped passphrase"};
    // Typed, it is asked twice for a backup; from a script, given once.
    bool fromInput = (invocation.options & kPassphraseStdin) != 0;
    auto answers = twice && !fromInput
                       ? ReadSecrets(invocation, kPassphrase, {first, again}, io, failure)
                       : ReadSecrets(invocation, kPassphrase, {first}, io, failure);
    if (!answers) {
        return std::nullopt;
    }
    failure = kFailed;
    if (answers->size() == 2 && (*answers)[0] != (*answers)[1]) {
        io.Error("Passphrases need to be identical! Nothing was written.");
        return std::nullopt;
    }
    if ((*answers)[0].Empty()) {
        io.Error("An empty passphrase protects nothing: give one.");
        return std::nullopt;
    }
    return std::move((*answers)[0]);
}

int Confirm(const Invocation& invocation, ConsoleIo& io, const std::wstring& question,
            const std::wstring& declined) {
    if ((invocation.options & kYes) != 0) {
        return kSucceeded;
    }
    if ((invocation.options & (kPasswordStdin | kPassphraseStdin)) != 0 || !io.HasConsole()) {
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

std::wstring ReplaceQuestion(const std::string& userId) {
    // The window's question, on one line.
    std::wstring question = fw::FromAnsi(store::ReplaceQuestionText(userId));
    std::wstring line;
    for (wchar_t c : question) {
        if (c != L'\n') {
            line += c;
        } else if (line.back() != L' ') {
            line += L' ';
        }
    }
    return line;
}

} // namespace console
