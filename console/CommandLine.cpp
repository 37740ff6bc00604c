// The console program's command line: the parsing of its options and arguments, for the command
// that the table (CommandTable.h) names.
#include "CommandTable.h"

#include "framework/Text.h"

#include <version.h>

namespace console {

namespace {

// An option as typed, and what it sets.
struct Flag {
    const wchar_t* name;
    unsigned option;
    const wchar_t* value; // what the option's value is, if it takes one
};

const Flag kFlags[] = {
    {L"--password-stdin", kPasswordStdin, nullptr},
    {L"--passphrase-stdin", kPassphraseStdin, nullptr},
    {L"--yes", kYes, nullptr},
    {L"--all", kAll, nullptr},
    {L"--exact", kExact, nullptr},
    {L"-o", kOutput, L"a file name"},
    {L"--output", kOutput, L"a file name"},
    {L"--format", kFormat, L"a format"},
};

// The option `arg` names, if the command takes it.
const Flag* FindFlag(const std::wstring& arg, unsigned allowed) {
    for (const Flag& flag : kFlags) {
        if (arg == flag.name && (allowed & flag.option) != 0) {
            return &flag;
        }
    }
    return nullptr;
}

bool IsHelp(const std::wstring& arg) {
    return arg == L"--help" || arg == L"-h" || arg == L"/?";
}

} // namespace

int UsageError(ConsoleIo& io, const std::wstring& problem, const std::string& command) {
    io.Error(problem + L" See \"wardkeepc " + fw::FromAnsi(command.empty() ? "" : command + " ") +
             L"--help\".");
    return kUsageError;
}

int Run(const std::vector<std::wstring>& args, ConsoleIo& io) {
    if (args.empty()) {
        io.Error("No command given.");
        io.Out(std::string_view(Overview()));
        return kUsageError;
    }
    if (IsHelp(args[0]) || args[0] == L"help") {
        io.Out(std::string_view(Overview()));
        return kSucceeded;
    }
    if (args[0] == L"--version") {
        return Print(io, std::string_view("wardkeepc " WARDKEEP_VERSION_STRING "\r\n")) ? kSucceeded
                                                                                        : kFailed;
    }
    const Command* command = FindCommand(args[0]);
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
        } else if (const Flag* flag = FindFlag(arg, command->allowedOptions)) {
            if (flag->value == nullptr) {
                invocation.options |= flag->option;
            } else if (++i == args.size()) {
                return UsageError(io, QuotedPath(arg) + L" needs " + flag->value + L".",
                                  command->name);
            } else {
                invocation.options |= flag->option;
                (flag->option == kOutput ? invocation.output : invocation.format) = args[i];
            }
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
