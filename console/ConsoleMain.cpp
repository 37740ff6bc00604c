// Entry point of wardkeepc.exe, the console program:
//   wardkeepc COMMAND [OPTIONS] [ARGUMENTS]      (wardkeepc --help lists the commands)
// Arguments arrive in the ANSI code page, as the store's value names are kept.
#include "Commands.h"

int main(int argc, char** argv) {
    console::ConsoleIo io;
    int result = console::kFailed;
    io.Guarded([&] { result = console::Run(std::vector<std::string>(argv + 1, argv + argc), io); });
    return result;
}
