// Entry point of wardkeepc.exe, the console program:
//   wardkeepc COMMAND [OPTIONS] [ARGUMENTS]      (wardkeepc --help lists the commands)
// Arguments arrive in the ANSI code page, as the store's value names are kept.
#include "Commands.h"

#include "framework/SystemLibrary.h"

int main(int argc, char** argv) {
    console::ConsoleIo io;
    // Before anything loads a DLL by name: the program may run elevated.
    if (!fw::ProtectDllSearch()) {
        io.Error("The system refused to restrict where DLLs are loaded from.");
        return console::kFailed;
    }
    int result = console::kFailed;
    io.Guarded([&] { result = console::Run(std::vector<std::string>(argv + 1, argv + argc), io); });
    return result;
}
