#include "Shared.h"

#include "framework/Text.h"
#include "keys/KeyBytes.h"
#include "store/Certificates.h"

namespace console {

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
