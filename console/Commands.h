// The console program's commands: what `wardkeepc` does with its command line.
#pragma once

#include "ConsoleIo.h"

#include <string>
#include <vector>

namespace console {

// The process's exit codes.
enum ExitCode : int {
    kSucceeded = 0,
    kFailed = 1,     // a refused input or a failed operation, said on standard error
    kUsageError = 2, // said on standard error
};

// Runs the command line, as typed (UTF-16), without the program's own name.
int Run(const std::vector<std::wstring>& args, ConsoleIo& io);

} // namespace console
