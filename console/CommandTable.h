// The table of the console program's commands: the one place a command is listed, with its
// operands, options and texts. The overview that "wardkeepc --help" prints is made from it.
#pragma once

#include "Shared.h"

#include <string>

namespace console {

struct Command {
    const char* name;
    std::size_t minOperands;
    std::size_t maxOperands;
    unsigned allowedOptions;
    const char* overview; // the command's lines in the program's overview
    const char* help;     // what "wardkeepc COMMAND --help" prints
    int (*run)(const Invocation&, ConsoleIo&);
};

// The command named `name`, or null.
const Command* FindCommand(const std::wstring& name);

// The overview that "wardkeepc --help" prints: the table's commands between a head and a foot.
std::string Overview();

} // namespace console
